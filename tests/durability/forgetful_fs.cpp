// A FUSE file system, mounted over a folder, that passes every operation through to what lies
// beneath while keeping in memory what a disk would hold if the power went now. The model:
//   - a file's bytes and length reach the disk only with fsync or fdatasync of that file;
//   - a name made, renamed or removed reaches it only with fsync of the folder that holds the
//     name (both folders for a rename), and then names whatever of its file reached the disk;
//   - what was in the folder at the mount is on the disk; sync(2) and syncfs(2) never reach a
//     FUSE file system, so SIGUSR2 stands for them: everything reaches the disk.
// Cutting the power (SIGUSR1, or by itself after the K-th fsync, folder fsync, rename or
// deletion) rewrites the folder beneath as that disk and fails every later operation. A disk
// may also write what it was not asked to flush; two ways of that are worst for a job:
//   --names      every change of names reached it, in order (a journal), but no bytes not
//                flushed: a rename or deletion that relies on bytes not flushed shows;
//   --deletions  every deletion reached it at once, but no new name not flushed (a disk that
//                writes folders in any order): a deletion before its folder flushes shows.
//
//   forgetful_fs [--cut-after K] [--names | --deletions] [--log FILE] [--notify FD] FOLDER
//
// Runs until FOLDER is unmounted. --log gets a line per counted operation ("K fsync PATH") and
// "cut K" when the power goes; --notify gets 'r' once mounted, 's' after each SIGUSR2 and 'c'
// once the power is cut.
// Regular files and folders only: links and special files are refused.
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t kClean = UINT64_MAX;

// A file or folder as the disk knows it.
struct Node {
    bool folder = false;
    mode_t mode = 0;
    std::string bytes;                                     // a file's bytes on the disk
    std::uint64_t dirtyFrom = kClean;                      // no byte before it changed since
    std::map<std::string, std::shared_ptr<Node>> entries;  // a folder's names on the disk
    std::set<std::string> removed;  // names deleted since the folder was flushed
};

struct Handle {
    int fd;
    std::shared_ptr<Node> node;
};

struct State {
    int root = -1;
    std::map<ino_t, std::shared_ptr<Node>> live;  // the nodes of the names beneath, by inode
    std::mutex lock;
    long counted = 0;
    long cutAfter = 0;
    enum class Ahead { kNothing, kNames, kDeletions } ahead = Ahead::kNothing;
    bool dead = false;
    FILE* log = nullptr;
    int notify = -1;
} g;

std::string Rel(const char* path) {
    return path[1] == '\0' ? std::string(".") : std::string(path + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "." ? name : folder + "/" + name;
}

void Tell(char what) {
    if (g.notify >= 0 && write(g.notify, &what, 1) != 1) {
        std::perror("forgetful_fs: notify");
    }
}

bool ReadAll(int fd, std::uint64_t from, std::uint64_t to, std::string* into) {
    into->resize(to);
    for (std::uint64_t at = from; at < to;) {
        const ssize_t n = pread(fd, &(*into)[at], to - at, static_cast<off_t>(at));
        if (n <= 0) {
            return false;
        }
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) {
            return false;
        }
        at += static_cast<std::size_t>(n);
    }
    return true;
}

void Fatal(const std::string& what) {
    std::fprintf(stderr, "forgetful_fs: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

template <typename Visit>
void EachEntry(const std::string& folder, Visit visit) {
    const int fd = openat(g.root, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
    if (dir == nullptr) {
        Fatal("cannot list " + folder);
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    closedir(dir);
    for (const std::string& name : names) {
        visit(name, Join(folder, name));
    }
}

// The node of a name beneath; one not seen before is new and holds nothing on the disk.
std::shared_ptr<Node> NodeOf(const struct stat& st) {
    std::shared_ptr<Node>& node = g.live[st.st_ino];
    if (!node) {
        node = std::make_shared<Node>();
        node->folder = S_ISDIR(st.st_mode);
    }
    node->mode = st.st_mode & 07777;
    return node;
}

std::shared_ptr<Node> NodeAt(const std::string& rel) {
    struct stat st;
    return fstatat(g.root, rel.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? NodeOf(st) : nullptr;
}

void Touched(Node& node, std::uint64_t from) {
    node.dirtyFrom = std::min(node.dirtyFrom, from);
}

void FlushFile(Node& node, int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        Fatal("cannot stat a flushed file");
    }
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    if (node.dirtyFrom != kClean &&
        !ReadAll(fd, std::min(node.dirtyFrom, size), size, &node.bytes)) {
        Fatal("cannot read a flushed file");
    }
    node.bytes.resize(size);
    node.dirtyFrom = kClean;
}

void FlushFolder(Node& node, const std::string& rel) {
    node.entries.clear();
    node.removed.clear();
    EachEntry(rel, [&](const std::string& name, const std::string& path) {
        node.entries[name] = NodeAt(path);
    });
}

// Everything beneath `rel` reaches the disk, as sync(2) would have it; at the mount, what
// is there is on the disk already.
void SyncTree(const std::string& rel) {
    FlushFolder(*NodeAt(rel), rel);
    EachEntry(rel, [](const std::string&, const std::string& path) {
        struct stat st;
        if (fstatat(g.root, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))) {
            Fatal("neither a file nor a folder: " + path);
        }
        const std::shared_ptr<Node> node = NodeOf(st);
        if (node->folder) {
            SyncTree(path);
            return;
        }
        const int fd = openat(g.root, path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            Fatal("cannot open " + path);
        }
        Touched(*node, 0);
        FlushFile(*node, fd);
        close(fd);
    });
}

void RemoveBeneath(const std::string& rel) {
    EachEntry(rel, [](const std::string&, const std::string& path) {
        struct stat st;
        if (fstatat(g.root, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            RemoveBeneath(path);
            if (unlinkat(g.root, path.c_str(), AT_REMOVEDIR) != 0) {
                Fatal("cannot remove " + path);
            }
        } else if (unlinkat(g.root, path.c_str(), 0) != 0) {
            Fatal("cannot remove " + path);
        }
    });
}

void WriteDisk(const Node& folder, const std::string& rel) {
    for (const auto& [name, node] : folder.entries) {
        if (g.ahead == State::Ahead::kDeletions && folder.removed.count(name)) {
            continue;
        }
        const std::string path = Join(rel, name);
        if (node->folder) {
            if (mkdirat(g.root, path.c_str(), node->mode) != 0) {
                Fatal("cannot make " + path);
            }
            WriteDisk(*node, path);
            continue;
        }
        const int fd =
            openat(g.root, path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, node->mode);
        if (fd < 0 || !WriteAll(fd, node->bytes) || close(fd) != 0) {
            Fatal("cannot write " + path);
        }
    }
}

// Keeps the names beneath as they are and cuts every file back to its bytes on the disk.
void CutBytes(const std::string& rel) {
    EachEntry(rel, [](const std::string&, const std::string& path) {
        const std::shared_ptr<Node> node = NodeAt(path);
        if (node->folder) {
            CutBytes(path);
            return;
        }
        if (node->dirtyFrom == kClean) {
            return;
        }
        const int fd = openat(g.root, path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 || !WriteAll(fd, node->bytes) || close(fd) != 0) {
            Fatal("cannot cut back " + path);
        }
    });
}

void CutPower() {
    if (g.dead) {
        return;
    }
    g.dead = true;
    if (g.ahead == State::Ahead::kNames) {
        CutBytes(".");
    } else {
        const std::shared_ptr<Node> root = NodeAt(".");
        RemoveBeneath(".");
        WriteDisk(*root, ".");
    }
    if (g.log != nullptr) {
        std::fprintf(g.log, "cut %ld\n", g.counted);
        std::fflush(g.log);
    }
    Tell('c');
}

// Counts an operation that changes what reaches the disk; the power goes after the K-th.
void Counted(const char* what, const char* path, const char* to = nullptr) {
    ++g.counted;
    if (g.log != nullptr) {
        std::fprintf(g.log, "%ld %s %s%s%s\n", g.counted, what, path, to ? " -> " : "",
                     to ? to : "");
        std::fflush(g.log);
    }
    if (g.counted == g.cutAfter) {
        CutPower();
    }
}

int Errno(int result) {
    return result < 0 ? -errno : result;
}

Handle* HandleOf(fuse_file_info* fi) {
    return reinterpret_cast<Handle*>(fi->fh);
}

#define GUARD                                 \
    std::lock_guard<std::mutex> held(g.lock); \
    if (g.dead) {                             \
        return -EIO;                          \
    }

int DoGetattr(const char* path, struct stat* st, fuse_file_info* fi) {
    GUARD;
    return Errno(fi != nullptr ? fstat(HandleOf(fi)->fd, st)
                               : fstatat(g.root, Rel(path).c_str(), st, AT_SYMLINK_NOFOLLOW));
}

int DoReaddir(const char* path,
              void* buf,
              fuse_fill_dir_t fill,
              off_t,
              fuse_file_info*,
              fuse_readdir_flags) {
    GUARD;
    const int fd = openat(g.root, Rel(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
    if (dir == nullptr) {
        return -errno;
    }
    while (const dirent* entry = readdir(dir)) {
        struct stat st = {};
        st.st_ino = entry->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        fill(buf, entry->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0));
    }
    closedir(dir);
    return 0;
}

int DoMkdir(const char* path, mode_t mode) {
    GUARD;
    if (mkdirat(g.root, Rel(path).c_str(), mode) != 0) {
        return -errno;
    }
    NodeAt(Rel(path));
    return 0;
}

int DoRemove(const char* path, int flags) {
    GUARD;
    const std::string rel = Rel(path);
    struct stat st;
    if (fstatat(g.root, rel.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return -errno;
    }
    const std::size_t slash = rel.rfind('/');
    const std::shared_ptr<Node> folder =
        NodeAt(slash == std::string::npos ? "." : rel.substr(0, slash));
    if (!folder || unlinkat(g.root, rel.c_str(), flags) != 0) {
        return -errno;
    }
    folder->removed.insert(slash == std::string::npos ? rel : rel.substr(slash + 1));
    if (S_ISDIR(st.st_mode) || st.st_nlink <= 1) {
        g.live.erase(st.st_ino);
    }
    Counted(flags ? "rmdir" : "unlink", path);
    return 0;
}

int DoUnlink(const char* path) {
    return DoRemove(path, 0);
}

int DoRmdir(const char* path) {
    return DoRemove(path, AT_REMOVEDIR);
}

int DoRename(const char* from, const char* to, unsigned flags) {
    GUARD;
    struct stat was;
    struct stat over;
    if (fstatat(g.root, Rel(from).c_str(), &was, AT_SYMLINK_NOFOLLOW) != 0) {
        return -errno;
    }
    const bool replaces = fstatat(g.root, Rel(to).c_str(), &over, AT_SYMLINK_NOFOLLOW) == 0 &&
                          over.st_ino != was.st_ino && !(flags & RENAME_EXCHANGE);
    if (renameat2(g.root, Rel(from).c_str(), g.root, Rel(to).c_str(), flags) != 0) {
        return -errno;
    }
    if (replaces && (S_ISDIR(over.st_mode) || over.st_nlink <= 1)) {
        g.live.erase(over.st_ino);
    }
    Counted("rename", from, to);
    return 0;
}

int DoChmod(const char* path, mode_t mode, fuse_file_info* fi) {
    GUARD;
    return Errno(fi != nullptr ? fchmod(HandleOf(fi)->fd, mode)
                               : fchmodat(g.root, Rel(path).c_str(), mode, 0));
}

int DoChown(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi) {
    GUARD;
    return Errno(fi != nullptr
                     ? fchown(HandleOf(fi)->fd, uid, gid)
                     : fchownat(g.root, Rel(path).c_str(), uid, gid, AT_SYMLINK_NOFOLLOW));
}

int DoUtimens(const char* path, const timespec times[2], fuse_file_info* fi) {
    GUARD;
    return Errno(fi != nullptr ? futimens(HandleOf(fi)->fd, times)
                               : utimensat(g.root, Rel(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int DoTruncate(const char* path, off_t size, fuse_file_info* fi) {
    GUARD;
    int fd = fi != nullptr ? HandleOf(fi)->fd
                           : openat(g.root, Rel(path).c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -errno;
    }
    struct stat st;
    int result = fstat(fd, &st) == 0 ? ftruncate(fd, size) : -1;
    if (result == 0) {
        Touched(*NodeOf(st), static_cast<std::uint64_t>(size));
    }
    result = Errno(result);
    if (fi == nullptr) {
        close(fd);
    }
    return result;
}

int OpenHandle(const char* path, fuse_file_info* fi, int flags, mode_t mode) {
    // Read access too, for the flush to take the bytes from.
    if ((flags & O_ACCMODE) == O_WRONLY) {
        flags = (flags & ~O_ACCMODE) | O_RDWR;
    }
    const int fd = openat(g.root, Rel(path).c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        const int error = errno;
        if (fd >= 0) {
            close(fd);
        }
        return -error;
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return -EPERM;
    }
    const std::shared_ptr<Node> node = NodeOf(st);
    if (flags & O_TRUNC) {
        Touched(*node, 0);
    }
    fi->fh = reinterpret_cast<std::uint64_t>(new Handle{fd, node});
    return 0;
}

int DoCreate(const char* path, mode_t mode, fuse_file_info* fi) {
    GUARD;
    return OpenHandle(path, fi, fi->flags | O_CREAT, mode);
}

int DoOpen(const char* path, fuse_file_info* fi) {
    GUARD;
    return OpenHandle(path, fi, fi->flags, 0);
}

int DoRead(const char*, char* buf, size_t size, off_t at, fuse_file_info* fi) {
    GUARD;
    const ssize_t n = pread(HandleOf(fi)->fd, buf, size, at);
    return n < 0 ? -errno : static_cast<int>(n);
}

int DoWrite(const char*, const char* buf, size_t size, off_t at, fuse_file_info* fi) {
    GUARD;
    Handle* const handle = HandleOf(fi);
    const ssize_t n = pwrite(handle->fd, buf, size, at);
    if (n < 0) {
        return -errno;
    }
    Touched(*handle->node, static_cast<std::uint64_t>(at));
    if (fi->flags & (O_SYNC | O_DSYNC)) {
        FlushFile(*handle->node, handle->fd);
    }
    return static_cast<int>(n);
}

ssize_t DoCopyFileRange(const char*,
                        fuse_file_info* in,
                        off_t inAt,
                        const char*,
                        fuse_file_info* out,
                        off_t outAt,
                        size_t size,
                        int flags) {
    GUARD;
    Handle* const target = HandleOf(out);
    const off_t start = outAt;
    const ssize_t n = copy_file_range(HandleOf(in)->fd, &inAt, target->fd, &outAt, size,
                                      static_cast<unsigned>(flags));
    if (n < 0) {
        return -errno;
    }
    Touched(*target->node, static_cast<std::uint64_t>(start));
    return n;
}

int DoFallocate(const char*, int mode, off_t at, off_t length, fuse_file_info* fi) {
    GUARD;
    Handle* const handle = HandleOf(fi);
    if (fallocate(handle->fd, mode, at, length) != 0) {
        return -errno;
    }
    Touched(*handle->node, static_cast<std::uint64_t>(at));
    return 0;
}

int DoStatfs(const char*, struct statvfs* st) {
    GUARD;
    return Errno(fstatvfs(g.root, st));
}

int DoFlush(const char*, fuse_file_info*) {
    return 0;  // a close flushes nothing to the disk
}

int DoRelease(const char*, fuse_file_info* fi) {
    std::lock_guard<std::mutex> held(g.lock);
    Handle* const handle = HandleOf(fi);
    close(handle->fd);
    delete handle;
    return 0;
}

int DoFsync(const char* path, int, fuse_file_info* fi) {
    GUARD;
    Handle* const handle = HandleOf(fi);
    FlushFile(*handle->node, handle->fd);
    Counted("fsync", path);
    return 0;
}

int DoFsyncdir(const char* path, int, fuse_file_info*) {
    GUARD;
    const std::shared_ptr<Node> node = NodeAt(Rel(path));
    if (!node) {
        return -errno;
    }
    FlushFolder(*node, Rel(path));
    Counted("fsyncdir", path);
    return 0;
}

void* DoInit(fuse_conn_info*, fuse_config* cfg) {
    // An open file's name is removed at once rather than hidden, so that the names seen are
    // the names the model holds. Every change passes through the kernel, so what it caches
    // stays true.
    cfg->hard_remove = 1;
    cfg->use_ino = 1;
    Tell('r');
    return nullptr;
}

// SIGUSR1 cuts the power, SIGUSR2 syncs; both wait here, away from the file system's loop.
void Commands() {
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGUSR1);
    sigaddset(&wanted, SIGUSR2);
    for (;;) {
        int signal = 0;
        if (sigwait(&wanted, &signal) != 0) {
            return;
        }
        std::lock_guard<std::mutex> held(g.lock);
        if (signal == SIGUSR1) {
            CutPower();
        } else if (!g.dead) {
            SyncTree(".");
            Tell('s');
        }
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: forgetful_fs [--cut-after K] [--names | --deletions] [--log FILE] "
                 "[--notify FD] FOLDER\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* folder = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cut-after" && i + 1 < argc) {
            g.cutAfter = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--names") {
            g.ahead = State::Ahead::kNames;
        } else if (arg == "--deletions") {
            g.ahead = State::Ahead::kDeletions;
        } else if (arg == "--log" && i + 1 < argc) {
            g.log = std::fopen(argv[++i], "w");
            if (g.log == nullptr) {
                Fatal(argv[i]);
            }
        } else if (arg == "--notify" && i + 1 < argc) {
            g.notify = static_cast<int>(std::strtol(argv[++i], nullptr, 10));
        } else if (folder == nullptr && arg[0] != '-') {
            folder = argv[i];
        } else {
            return Usage();
        }
    }
    if (folder == nullptr) {
        return Usage();
    }
    // The folder beneath, reached through this descriptor once the mount hides it.
    g.root = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g.root < 0) {
        Fatal(folder);
    }
    SyncTree(".");

    sigset_t commands;
    sigemptyset(&commands);
    sigaddset(&commands, SIGUSR1);
    sigaddset(&commands, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &commands, nullptr);
    std::thread(Commands).detach();

    fuse_operations ops = {};
    ops.getattr = DoGetattr;
    ops.mkdir = DoMkdir;
    ops.unlink = DoUnlink;
    ops.rmdir = DoRmdir;
    ops.rename = DoRename;
    ops.chmod = DoChmod;
    ops.chown = DoChown;
    ops.truncate = DoTruncate;
    ops.open = DoOpen;
    ops.read = DoRead;
    ops.write = DoWrite;
    ops.statfs = DoStatfs;
    ops.flush = DoFlush;
    ops.release = DoRelease;
    ops.fsync = DoFsync;
    ops.readdir = DoReaddir;
    ops.fsyncdir = DoFsyncdir;
    ops.init = DoInit;
    ops.create = DoCreate;
    ops.utimens = DoUtimens;
    ops.fallocate = DoFallocate;
    ops.copy_file_range = DoCopyFileRange;

    char name[] = "forgetful_fs";
    char option[] = "-o";
    char fsName[] = "fsname=forgetful";
    char* fuseArgv[] = {name, option, fsName, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
    fuse* const fs = fuse_new(&args, &ops, sizeof(ops), nullptr);
    if (fs == nullptr || fuse_mount(fs, folder) != 0) {
        Fatal(std::string("cannot mount over ") + folder);
    }
    fuse_session* const session = fuse_get_session(fs);
    if (fuse_set_signal_handlers(session) != 0) {
        Fatal("cannot handle signals");
    }
    // One request at a time, so that the K-th operation is the last before the cut. The
    // kernel may end the loop as aborted when the folder is unmounted under it: that is an end.
    const int ended = fuse_loop(fs);
    fuse_remove_signal_handlers(session);
    fuse_unmount(fs);
    fuse_destroy(fs);
    if (g.log != nullptr) {
        std::fclose(g.log);
    }
    if (ended != 0 && ended != -ECONNABORTED && ended != ECONNABORTED) {
        std::fprintf(stderr, "forgetful_fs: the loop ended with %d\n", ended);
        return 1;
    }
    return 0;
}
