// Power cuts. Each job of the table runs on the forgetful file system (forgetful_fs.cpp) once
// to the end, to count its flushes, renames and deletions; then once for every k, with the power
// cut after the k-th (sampled evenly past kMostCuts), in each of the file system's three ways
// where it leaves another disk than a cut one operation earlier: nothing kept that was not
// flushed, every change of names kept, every deletion kept. After each cut, on that disk:
//   - nothing is lost: a split's source is whole, or its pieces are all there and whole; a
//     join's partial output holds every piece gone, and the pieces left are whole;
//   - nothing is wrong: every file the job replaces as a whole (SHA256SUMS, line group by
//     line group, the recovery files, a rebuilt piece, a staged join's output, the source) is
//     as it was before the job or as the job leaves it, never anything between;
//   - the job can be finished: the same command again (a join going on as the README says it
//     goes on) leaves what the uncut run left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/job_paths.h"
#include "tests/support/test_files.h"

namespace {

constexpr int kMostCuts = 200;
constexpr auto kJobTime = std::chrono::seconds(60);

using Command = std::vector<std::string>;

// Why the file system cannot be mounted here, or empty when it can.
std::string WhyNoFuse() {
    if (geteuid() != 0) {
        return "not root: mounting the forgetful file system needs root";
    }
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
        return "no /dev/fuse to mount the forgetful file system with";
    }
    return std::string();
}

// Runs `command` with its output in `log` and, with `notify`, that descriptor as 3; the
// process id. Spawned without copying this process, which holds the trees of every cut.
pid_t Spawn(const Command& command, const std::string& log, int notify = -1) {
    std::vector<std::string> words(command);
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (notify >= 0) {
        posix_spawn_file_actions_adddup2(&actions, notify, 3);
    }
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + command[0]);
    }
    return pid;
}

// The exit status of a process, or -1 when it did not exit.
int Reap(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The ways the file system cuts the power: what reaches the disk beyond what was flushed.
enum class Way { kStrict, kNamesAhead, kDeletionsAhead };

const char* Describe(Way way) {
    switch (way) {
        case Way::kStrict:
            return "nothing kept that was not flushed";
        case Way::kNamesAhead:
            return "every change of names kept";
        case Way::kDeletionsAhead:
            return "every deletion kept";
    }
    return "";
}

// Whether a cut after an operation of this kind ("fsync", "rename", ...) can leave another
// disk, in that way, than a cut just before it.
bool Changes(Way way, const std::string& kind) {
    switch (way) {
        case Way::kStrict:
            return kind == "fsync" || kind == "fsyncdir";
        case Way::kNamesAhead:
            return kind != "fsyncdir";
        case Way::kDeletionsAhead:
            return kind != "rename";
    }
    return true;
}

// The forgetful file system mounted over a folder, unmounted when it goes.
class ForgetfulMount {
public:
    // Mounts over `folder`; with `cutAfter`, the power goes after that many operations.
    ForgetfulMount(const std::string& folder,
                   long cutAfter,
                   Way way,
                   const std::string& log,
                   const std::string& output = "/dev/null")
        : m_folder(folder) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        m_notify = fds[0];
        Command command = {FORGETFUL_FS_PATH,       "--notify", "3", "--log", log, "--cut-after",
                           std::to_string(cutAfter)};
        if (way != Way::kStrict) {
            command.push_back(way == Way::kNamesAhead ? "--names" : "--deletions");
        }
        command.push_back(folder);
        try {
            m_pid = Spawn(command, output, fds[1]);
        } catch (...) {
            close(fds[0]);
            close(fds[1]);
            throw;
        }
        close(fds[1]);
        if (Next(std::chrono::seconds(10)) != 'r') {
            Stop();
            throw std::runtime_error("the forgetful file system did not mount over " + folder);
        }
    }
    ~ForgetfulMount() { Stop(); }
    ForgetfulMount(const ForgetfulMount&) = delete;
    ForgetfulMount& operator=(const ForgetfulMount&) = delete;

    // The next word of the file system ('r' mounted, 's' synced, 'c' cut), or 0 when none came
    // in `wait`.
    char Next(std::chrono::milliseconds wait) {
        pollfd p = {m_notify, POLLIN, 0};
        char word = 0;
        if (poll(&p, 1, static_cast<int>(wait.count())) == 1 && read(m_notify, &word, 1) == 1) {
            return word;
        }
        return 0;
    }

    // SIGUSR1 cuts the power, SIGUSR2 flushes everything.
    void Signal(int signal) const { kill(m_pid, signal); }

    // Unmounts and waits for the file system to end; its exit status.
    int Stop() {
        if (m_pid <= 0) {
            return -1;
        }
        for (int tries = 0; umount2(m_folder.c_str(), 0) != 0 && errno == EBUSY && tries < 500;
             ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const int status = Reap(m_pid);
        m_pid = -1;
        close(m_notify);
        return status;
    }

private:
    std::string m_folder;
    pid_t m_pid = -1;
    int m_notify = -1;
};

// A folder of the sweep's own, in memory where there is a tmpfs, removed at the end.
struct ScratchFolder {
    ScratchFolder() {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        pattern += "/secanto-power-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make " + pattern);
        }
        path = pattern + "/";
    }
    ~ScratchFolder() { RemoveTree(path); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path;
};

// A folder's files and folders by relative path ("a/b"; folders end with '/').
using Tree = std::map<std::string, std::string>;

void ReadTree(const std::string& root, const std::string& rel, Tree* tree) {
    for (const std::string& name : ListNames(root + rel)) {
        struct stat st;
        const std::string path = rel + name;
        if (lstat((root + path).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            (*tree)[path + "/"];
            ReadTree(root, path + "/", tree);
        } else {
            (*tree)[path] = ReadWholeFile(root + path);
        }
    }
}

Tree ReadTree(const std::string& root) {
    Tree tree;
    ReadTree(root, "", &tree);
    return tree;
}

void WriteTree(const std::string& root, const Tree& tree) {
    for (const std::string& name : ListNames(root)) {
        RemoveTree(root + name);
    }
    for (const auto& [path, bytes] : tree) {
        if (path.back() == '/') {
            MakeFolder(root + path);
        } else {
            WriteWholeFile(root + path, bytes);
        }
    }
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/', path.size() - 2);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Hidden names, which a cut may leave behind and nothing reads. Every temporary file is one
// (SHA256SUMS's too): a name a user sees is never one.
bool Hidden(const std::string& path) {
    return path[0] == '.' || path.find("/.") != std::string::npos;
}

// What a user sees: the names not hidden; the lines of a SHA256SUMS in order, since two
// splits at once add theirs in either order.
Tree Visible(const Tree& tree) {
    Tree seen;
    for (const auto& [path, bytes] : tree) {
        if (Hidden(path)) {
            continue;
        }
        std::string& kept = seen[path] = bytes;
        if (BaseName(path) == "SHA256SUMS") {
            std::vector<std::string> lines;
            std::istringstream in(bytes);
            for (std::string line; std::getline(in, line);) {
                lines.push_back(line + "\n");
            }
            std::sort(lines.begin(), lines.end());
            kept.clear();
            for (const std::string& line : lines) {
                kept += line;
            }
        }
    }
    return seen;
}

const std::string* Find(const Tree& tree, const std::string& path) {
    const auto at = tree.find(path);
    return at == tree.end() ? nullptr : &at->second;
}

// A damaged piece that a repair replaces goes aside as NAME.1 first, and stays there when the
// power is cut before the repair ends: nothing is lost, and it is the user's to delete.
bool KeptAside(const Tree& before, const Tree& now, const std::string& path) {
    const std::string* is = Find(now, path);
    if (is != nullptr && path.size() > 2 && path.compare(path.size() - 2, 2, ".1") == 0) {
        const std::string* piece = Find(before, path.substr(0, path.size() - 2));
        return Find(before, path) == nullptr && piece != nullptr && *piece == *is;
    }
    const std::string* aside = Find(now, path + ".1");
    const std::string* was = Find(before, path);
    return is == nullptr && aside != nullptr && was != nullptr && *aside == *was;
}

const char kCutShort[] = "(a list cut short)";

// A SHA256SUMS's lines grouped by the file they are for (a piece's lines with its file's).
std::map<std::string, std::multiset<std::string>> LineGroups(const std::string& list) {
    std::map<std::string, std::multiset<std::string>> groups;
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t name = line.find_first_of(" *", 64) + 2;
        std::string file = name < line.size() ? line.substr(name) : line;
        const std::size_t digits = file.find_first_not_of("0123456789");
        if (digits > 0 && digits != std::string::npos && file.compare(digits, 2, "__") == 0) {
            file = file.substr(digits + 2);
        }
        groups[file].insert(line);
    }
    // A list ends with a line end, and none is written empty: else a group of its own, which
    // neither the old list nor the new one has.
    if (list.empty() || list.back() != '\n') {
        groups[kCutShort].insert(line);
    }
    return groups;
}

// One job of the table, in the scratch folder `root` (ending with '/').
struct Scene {
    std::string root;
    const Tree* now;
    bool Has(const std::string& rel) const { return Find(*now, rel) != nullptr; }
};

struct Job {
    const char* name;
    // Makes the files the job starts from in `root`, unmounted.
    std::function<void(const std::string& root)> setUp;
    // The processes of the job, run at once.
    std::function<std::vector<Command>(const std::string& root)> commands;
    // The same job run again after a cut, seen what the disk holds.
    std::function<std::vector<Command>(const Scene&)> again;
    // Files the job writes in place, which may be anything after a cut.
    std::function<bool(const std::string& rel)> inPlace;
    // What must be whole after any cut; an empty string when it is.
    std::function<std::string(const Scene&)> nothingLost;
};

// The original of each job, told apart by `salt`: a little over 1 MiB, so that the last piece
// is short; a tenth of that for pieces of 4 KiB (salt 2) and a quarter for the two splits at
// once (salts 10 and 11), so that their operations stay few.
const std::string& Original(unsigned salt) {
    static std::mutex lock;
    static std::map<unsigned, std::string> made;
    std::lock_guard<std::mutex> held(lock);
    std::string& bytes = made[salt];
    if (bytes.empty()) {
        const std::size_t length = salt == 2                  ? 100000
                                   : salt == 10 || salt == 11 ? (256u << 10)
                                                              : (1u << 20);
        bytes = Pattern(length + 777 * salt, salt);
    }
    return bytes;
}

std::string Secanto() {
    return SECANTO_PATH;
}

std::string SecantoJob() {
    return SECANTO_JOB_PATH;
}

// Runs a command to its end outside the file system (to make the files a job starts from).
void RunPlain(const Command& command, const std::string& log) {
    const int status = Reap(Spawn(command, log));
    if (status != 0) {
        throw std::runtime_error("set-up command failed: " + command[0] + " " + command[1]);
    }
}

// A split's source is whole, or else all its pieces are.
std::string SplitKept(const Scene& scene,
                      const std::string& source,
                      const std::string& folder,
                      const std::string& name,
                      std::uint64_t pieceSize,
                      unsigned salt) {
    const std::string& original = Original(salt);
    if (const std::string* there = Find(*scene.now, source)) {
        return *there == original ? "" : "the source " + source + " changed";
    }
    const std::vector<std::string> pieces = ExpectedPieces(original, pieceSize);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string rel = folder + PieceName(static_cast<int>(i) + 1, name);
        const std::string* there = Find(*scene.now, rel);
        if (there == nullptr || *there != pieces[i]) {
            return "the source " + source + " is gone while " + rel +
                   (there ? " does not hold its bytes" : " is missing");
        }
    }
    return "";
}

// A join's pieces left are whole and follow without a gap, to the last; the output (the file
// of its name or the staged one) holds every piece before them.
std::string JoinKept(const Scene& scene,
                     const std::string& folder,
                     const std::string& output,
                     std::uint64_t pieceSize,
                     unsigned salt) {
    const std::string& original = Original(salt);
    const std::string name = BaseName(output);
    const std::vector<std::string> pieces = ExpectedPieces(original, pieceSize);
    std::size_t first = pieces.size();
    while (first > 0 && scene.Has(folder + PieceName(static_cast<int>(first), name))) {
        --first;
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string rel = folder + PieceName(static_cast<int>(i) + 1, name);
        const std::string* there = Find(*scene.now, rel);
        if (there != nullptr && (i < first || *there != pieces[i])) {
            return rel + (i < first ? " is there while a piece after it is gone"
                                    : " does not hold its bytes");
        }
    }
    const std::uint64_t held = static_cast<std::uint64_t>(first) * pieceSize;
    const std::uint64_t end = std::min<std::uint64_t>(held, original.size());
    if (end == 0) {
        return "";
    }
    const std::string outputFolder = output.substr(0, output.size() - name.size());
    for (const auto& [path, bytes] : *scene.now) {
        const bool candidate =
            path == output ||
            (path.compare(0, outputFolder.size() + 9, outputFolder + ".secanto-") == 0 &&
             path.find('/', outputFolder.size()) == std::string::npos);
        if (candidate && bytes.size() >= end && bytes.compare(0, end, original, 0, end) == 0) {
            return "";
        }
    }
    return "pieces 1 to " + std::to_string(first) + " are gone and no output holds their bytes";
}

bool IsPieceOf(const std::string& rel, const std::string& folder, const std::string& name) {
    if (rel.compare(0, folder.size(), folder) != 0) {
        return false;
    }
    const std::string base = rel.substr(folder.size());
    const std::size_t digits = base.find_first_not_of("0123456789");
    return digits > 0 && digits != std::string::npos && base.substr(digits) == "__" + name;
}

// Splits `salt`'s original in `pieceSize` pieces into `folder` with the command line.
void CliPieces(const std::string& root,
               const std::string& folder,
               const std::string& name,
               unsigned salt,
               const std::string& size,
               const std::vector<std::string>& more = {}) {
    MakeFolder(root + "tmp-src");
    WriteWholeFile(root + "tmp-src/" + name, Original(salt));
    Command split = {Secanto(),     "split", root + "tmp-src/" + name, "-s", size, "-o",
                     root + folder, "-q"};
    split.insert(split.end(), more.begin(), more.end());
    RunPlain(split, "/dev/null");
    RemoveTree(root + "tmp-src");
}

// A split of src/NAME into FOLDER: the command from the root, run again while the source is
// there (once it is gone, what the split leaves must be there already).
Job SplitJob(const char* title,
             unsigned salt,
             std::uint64_t pieceSize,
             const std::string& folder,
             const std::function<Command(const std::string& root)>& command) {
    return {title,
            [salt](const std::string& root) {
                MakeFolder(root + "src");
                WriteWholeFile(root + "src/film.bin", Original(salt));
            },
            [command](const std::string& root) { return std::vector<Command>{command(root)}; },
            [command](const Scene& s) {
                return !s.Has("src/film.bin") ? std::vector<Command>()
                                              : std::vector<Command>{command(s.root)};
            },
            [folder](const std::string& rel) { return IsPieceOf(rel, folder, "film.bin"); },
            [salt, pieceSize, folder](const Scene& s) {
                return SplitKept(s, "src/film.bin", folder, "film.bin", pieceSize, salt);
            }};
}

// How a join starts: afresh, or after one with delete-after-use stopped, holding pieces in
// the file of the output's name (as the dialog leaves it) or in the command line's staged one.
enum class Stopped { kNot, kInOutput, kStaged };

// A join with delete-after-use of pieces/ (made by the command line's split, with its
// SHA256SUMS) into out/deep/film.bin. A join that stopped held 5 pieces and a little of the
// next; they are gone from the folder.
Job JoinJob(const char* title,
            unsigned salt,
            Stopped stopped,
            bool inPlace,
            const std::function<Command(const std::string& root, const Scene* after)>& command) {
    constexpr std::uint64_t kPiece = 65536;
    return {
        title,
        [salt, stopped](const std::string& root) {
            CliPieces(root, "pieces", "film.bin", salt, "64K");
            if (stopped != Stopped::kNot) {
                constexpr int kHeld = 5;
                for (int n = 1; n <= kHeld; ++n) {
                    RemoveTree(root + "pieces/" + PieceName(n, "film.bin"));
                }
                MakeFolder(root + "out");
                MakeFolder(root + "out/deep");
                const std::string name =
                    stopped == Stopped::kStaged ? StagingName("film.bin") : "film.bin";
                WriteWholeFile(root + "out/deep/" + name,
                               Original(salt).substr(0, kHeld * kPiece + 1000));
            }
        },
        [command](const std::string& root) { return std::vector<Command>{command(root, nullptr)}; },
        [command](const Scene& s) { return std::vector<Command>{command(s.root, &s)}; },
        [inPlace](const std::string& rel) { return inPlace && rel == "out/deep/film.bin"; },
        [salt](const Scene& s) {
            return JoinKept(s, "pieces/", "out/deep/film.bin", kPiece, salt);
        }};
}

// Repair of pieces/ made with -r 3, two pieces lost and one damaged.
Job RepairJob() {
    return {"command line repair",
            [](const std::string& root) {
                CliPieces(root, "pieces", "film.bin", 8, "32K", {"-r", "3"});
                RemoveTree(root + "pieces/" + PieceName(2, "film.bin"));
                RemoveTree(root + "pieces/" + PieceName(9, "film.bin"));
                const std::string damaged = root + "pieces/" + PieceName(5, "film.bin");
                std::string bytes = ReadWholeFile(damaged);
                bytes[100] ^= 1;
                WriteWholeFile(damaged, bytes);
            },
            [](const std::string& root) {
                return std::vector<Command>{{Secanto(), "repair", root + "pieces", "-q"}};
            },
            [](const Scene& s) {
                return std::vector<Command>{{Secanto(), "repair", s.root + "pieces", "-q"}};
            },
            [](const std::string&) { return false; },
            [](const Scene&) { return std::string(); }};
}

// Two splits at once into a folder that holds a third file's pieces, one SHA256SUMS for all.
Job TwoSplitsJob() {
    const auto split = [](const std::string& root, const char* name) {
        return Command{Secanto(), "split",         root + "src/" + name, "-s", "64K",
                       "-o",      root + "pieces", "--delete",           "-q"};
    };
    return {"two command line splits into one folder, delete after use",
            [](const std::string& root) {
                CliPieces(root, "pieces", "old.bin", 9, "64K");
                MakeFolder(root + "src");
                WriteWholeFile(root + "src/a.bin", Original(10));
                WriteWholeFile(root + "src/b.bin", Original(11));
            },
            [split](const std::string& root) {
                return std::vector<Command>{split(root, "a.bin"), split(root, "b.bin")};
            },
            [split](const Scene& s) {
                std::vector<Command> again;
                for (const char* name : {"a.bin", "b.bin"}) {
                    if (s.Has(std::string("src/") + name)) {
                        again.push_back(split(s.root, name));
                    }
                }
                return again;
            },
            [](const std::string& rel) {
                return IsPieceOf(rel, "pieces/", "a.bin") || IsPieceOf(rel, "pieces/", "b.bin");
            },
            [](const Scene& s) {
                const std::string a = SplitKept(s, "src/a.bin", "pieces/", "a.bin", 65536, 10);
                return a.empty() ? SplitKept(s, "src/b.bin", "pieces/", "b.bin", 65536, 11) : a;
            }};
}

// The join as the dialog runs it, checking SHA256SUMS; it goes on (answers "是") when the
// output holds pieces missing from the folder. Small pieces are one batch unless `batches`
// makes every piece a batch of its own.
Command EngineJoin(const std::string& root, const Scene* after, bool goOn, bool batches) {
    Command command = {SecantoJob(),     "join",     root + "out/deep",
                       root + "pieces/", "--delete", "--sums"};
    if (batches) {
        command.push_back("--quick-batches");
    }
    if (goOn || (after != nullptr && !after->Has("pieces/" + PieceName(1, "film.bin")))) {
        command.push_back("--continue");
    }
    return command;
}

// The command line's join, staged; it goes on from its staged file by itself, and finishes
// by itself when its output has its name and only the last pieces are left: the same command.
Command CliJoin(const std::string& root, const Scene*) {
    return {Secanto(), "join", root + "pieces", "-o", root + "out/deep", "--delete", "-q"};
}

const std::vector<Job>& Jobs() {
    static const std::vector<Job> jobs = {
        SplitJob("engine split, delete after use", 1, 65536, "pieces/deep/",
                 [](const std::string& root) {
                     return Command{SecantoJob(),          "split", root + "pieces/deep",
                                    root + "src/film.bin", "65536", "--delete"};
                 }),
        SplitJob("command line split --delete", 2, 4096, "pieces/deep/",
                 [](const std::string& root) {
                     return Command{Secanto(), "split", root + "src/film.bin", "-s",
                                    "4K",      "-o",    root + "pieces/deep",  "--delete",
                                    "-q"};
                 }),
        SplitJob("command line split -r 2 --delete", 3, 65536, "pieces/",
                 [](const std::string& root) {
                     return Command{
                         Secanto(), "split", root + "src/film.bin", "-s",       "64K", "-r",
                         "2",       "-o",    root + "pieces",       "--delete", "-q"};
                 }),
        JoinJob("engine join, delete after use", 4, Stopped::kNot, true,
                [](const std::string& root, const Scene* after) {
                    return EngineJoin(root, after, false, false);
                }),
        JoinJob("command line join --delete", 5, Stopped::kNot, false, CliJoin),
        JoinJob("command line join going on from its staged file", 12, Stopped::kStaged, false,
                CliJoin),
        JoinJob("engine join going on after a stop, a batch a piece", 6, Stopped::kInOutput, true,
                [](const std::string& root, const Scene* after) {
                    return EngineJoin(root, after, true, true);
                }),
        JoinJob("command line join --continue --delete", 7, Stopped::kInOutput, true,
                [](const std::string& root, const Scene*) {
                    return Command{Secanto(),         "join",     root + "pieces", "-o",
                                   root + "out/deep", "--delete", "--continue",    "-q"};
                }),
        RepairJob(),
        TwoSplitsJob(),
    };
    return jobs;
}

// What one cut found; empty when all held.
struct Finding {
    long cut;
    Way way;
    std::string operation;
    std::string what;
};

class Sweep {
public:
    Sweep(const Job& job, const std::string& work) : m_job(job), m_work(work) {}

    // The uncut run; false (with a finding) when it failed.
    bool Prepare(std::vector<Finding>* findings) {
        const std::string root = Root(0);
        MakeFolder(root);
        m_job.setUp(root);
        m_before = ReadTree(root);
        std::string log = m_work + "ops-0.log";
        const std::string failed = Run(root, 0, Way::kStrict, log);
        if (!failed.empty()) {
            findings->push_back({0, Way::kStrict, "", "the uncut run: " + failed});
            return false;
        }
        m_after = ReadTree(root);
        m_operations = ReadLines(log);
        return true;
    }

    long Operations() const { return static_cast<long>(m_operations.size()); }

    // The cut points: every operation, or kMostCuts spread evenly over them, in the ways
    // where each leaves a disk of its own.
    std::vector<std::pair<long, Way>> Cuts() const {
        std::vector<std::pair<long, Way>> cuts;
        const long count = Operations();
        const long taken = std::min<long>(count, kMostCuts);
        for (long i = 1; i <= taken; ++i) {
            const long k = i * count / taken;
            std::istringstream line(m_operations[k - 1]);
            std::string number;
            std::string kind;
            line >> number >> kind;
            for (const Way way : {Way::kStrict, Way::kNamesAhead, Way::kDeletionsAhead}) {
                if (Changes(way, kind)) {
                    cuts.emplace_back(k, way);
                }
            }
        }
        return cuts;
    }

    // One cut, in the worker's own folder.
    void Cut(int worker, long k, Way way, std::vector<Finding>* findings) {
        const std::string root = Root(worker);
        mkdir(root.c_str(), 0755);
        WriteTree(root, m_before);
        const std::string log = m_work + "ops-" + std::to_string(worker) + ".log";
        std::string what = Run(root, k, way, log);
        if (what.empty()) {
            what = Check(root);
        }
        if (!what.empty()) {
            // The operation this run was cut after: two jobs at once may go in another order.
            const std::vector<std::string> done = ReadLines(log);
            findings->push_back(
                {k, way, k <= static_cast<long>(done.size()) ? done[k - 1] : "", what});
        }
    }

private:
    std::string Root(int worker) const { return m_work + "disk" + std::to_string(worker) + "/"; }

    static std::vector<std::string> ReadLines(const std::string& path) {
        std::vector<std::string> lines;
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.compare(0, 4, "cut ") != 0) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // Runs the job on the mounted file system; with k, cuts the power after the k-th operation
    // and stops the job there. Empty, or what went wrong.
    std::string Run(const std::string& root, long k, Way way, const std::string& log) {
        const std::string output = log + ".out";
        std::vector<pid_t> pids;
        std::string failed;
        {
            ForgetfulMount mount(root.substr(0, root.size() - 1), k, way, log, log + ".fs");
            for (const Command& command : m_job.commands(root)) {
                pids.push_back(Spawn(command, output));
            }
            const auto deadline = std::chrono::steady_clock::now() + kJobTime;
            bool cut = false;
            std::size_t ended = 0;
            std::vector<int> status(pids.size(), -2);
            while (!cut && ended < pids.size()) {
                cut = mount.Next(std::chrono::milliseconds(1)) == 'c';
                for (std::size_t i = 0; i < pids.size(); ++i) {
                    int raw = 0;
                    if (status[i] == -2 && waitpid(pids[i], &raw, WNOHANG) == pids[i]) {
                        status[i] = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
                        ++ended;
                    }
                }
                if (std::chrono::steady_clock::now() > deadline) {
                    failed = "the job did not end";
                    break;
                }
            }
            // The job may have ended on the errors that follow a cut before the word came.
            cut = cut || mount.Next(std::chrono::milliseconds(0)) == 'c';
            for (std::size_t i = 0; i < pids.size(); ++i) {
                if (status[i] == -2) {
                    kill(pids[i], SIGKILL);
                    status[i] = Reap(pids[i]);
                }
                if (!cut && failed.empty() && status[i] != 0) {
                    failed = "the job exited with " + std::to_string(status[i]) + ": " +
                             ReadWholeFile(output);
                }
            }
            const int fs = mount.Stop();
            if (fs != 0 && failed.empty()) {
                failed = "the file system ended with " + std::to_string(fs) + ": " +
                         ReadWholeFile(log + ".fs");
            }
        }
        unlink(output.c_str());
        unlink((log + ".fs").c_str());
        return failed;
    }

    // The three checks on what the disk holds after a cut.
    std::string Check(const std::string& root) {
        const Tree now = ReadTree(root);
        std::set<std::string> paths;
        for (const Tree* tree : std::vector<const Tree*>{&m_before, &m_after, &now}) {
            for (const auto& entry : *tree) {
                paths.insert(entry.first);
            }
        }
        for (const std::string& path : paths) {
            if (path.back() == '/' || Hidden(path) || m_job.inPlace(path)) {
                continue;
            }
            const std::string* was = Find(m_before, path);
            const std::string* will = Find(m_after, path);
            const std::string* is = Find(now, path);
            if (BaseName(path) == "SHA256SUMS" && is != nullptr) {
                const auto groups = LineGroups(*is);
                using Groups = std::map<std::string, std::multiset<std::string>>;
                const Groups old = was ? LineGroups(*was) : Groups();
                const Groups fresh = will ? LineGroups(*will) : Groups();
                for (const auto& [file, lines] : groups) {
                    const auto o = old.find(file);
                    const auto f = fresh.find(file);
                    if ((o == old.end() || o->second != lines) &&
                        (f == fresh.end() || f->second != lines)) {
                        return path + (file == kCutShort ? " is empty or ends in a line cut short"
                                                         : ": the lines for " + file +
                                                               " are neither the old nor the new");
                    }
                }
                continue;
            }
            const auto same = [&](const std::string* a) { return a ? is && *is == *a : !is; };
            if (!same(was) && !same(will) && !KeptAside(m_before, now, path)) {
                return path + (is ? " is neither as it was nor as the job leaves it"
                                  : " is gone, and the job does not remove it");
            }
        }
        Scene scene{root, &now};
        std::string lost = m_job.nothingLost(scene);
        if (!lost.empty()) {
            return "lost: " + lost;
        }
        if (Visible(now) == Visible(m_after)) {
            return "";
        }
        const std::string output = m_work + "again.out";
        for (const Command& command : m_job.again(scene)) {
            const int status = Reap(Spawn(command, output));
            if (status != 0) {
                return "run again, the job exited with " + std::to_string(status) + ": " +
                       ReadWholeFile(output);
            }
        }
        unlink(output.c_str());
        const Tree done = Visible(ReadTree(root));
        if (done != Visible(m_after)) {
            for (const auto& [path, bytes] : Visible(m_after)) {
                const std::string* there = Find(done, path);
                if (there == nullptr || *there != bytes) {
                    return "run again, the job did not end as the uncut one: " + path +
                           (there ? " differs" : " is missing");
                }
            }
            for (const auto& [path, bytes] : done) {
                if (Find(Visible(m_after), path) == nullptr && !KeptAside(m_before, done, path)) {
                    return "run again, the job left more than the uncut one: " + path;
                }
            }
        }
        return "";
    }

    const Job& m_job;
    std::string m_work;
    Tree m_before;
    Tree m_after;
    std::vector<std::string> m_operations;
};

// Writes a file through the mount, flushed or not; 0 or the error.
int Put(const std::string& path, const std::string& bytes, bool flush) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return errno;
    }
    const bool written =
        write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
        (!flush || fsync(fd) == 0);
    const int error = written ? 0 : errno;
    return close(fd) == 0 ? error : errno;
}

int FlushFolder(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    const int error = fd < 0 || fsync(fd) != 0 ? errno : 0;
    if (fd >= 0) {
        close(fd);
    }
    return error;
}

// The file system's own rules, each shown by one step of one script, cut in each way; the
// flushed rename and the deletions are counted operations, so a cut after the 5th stops the
// script at step 6.
struct RuleCase {
    Way way;
    long cutAfter;   // 0: cut by SIGUSR1 at the end
    bool syncFirst;  // SIGUSR2 before the cut
    Tree disk;
};

class ForgetfulRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ForgetfulRules, TheDiskHoldsWhatTheModelSays) {
    const std::string why = WhyNoFuse();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    const RuleCase& rule = GetParam();
    ScratchFolder work;
    const std::string root = work.path + "disk/";
    MakeFolder(root);
    WriteTree(root, {{"old", "before"}, {"list", "old list"}, {"gone", "x"}});
    std::vector<int> errors;
    {
        ForgetfulMount mount(root.substr(0, root.size() - 1), rule.cutAfter, rule.way,
                             work.path + "ops.log");
        // 1. A write not flushed.
        errors.push_back(Put(root + "old", "changed", false));
        // 2. A list replaced through a flushed temporary file, renamed (counted 1, 2).
        errors.push_back(Put(root + "list.tmp", "new list", true));
        errors.push_back(rename((root + "list.tmp").c_str(), (root + "list").c_str()) ? errno : 0);
        // 3. A file flushed (3) and one never flushed, both named by the folder's flush (4).
        errors.push_back(Put(root + "named", "kept", true));
        errors.push_back(Put(root + "empty", "never flushed", false));
        errors.push_back(FlushFolder(root));
        // 4. A deletion not flushed (5).
        errors.push_back(unlink((root + "gone").c_str()) ? errno : 0);
        // 5. A file flushed (6) in a new entry not flushed.
        errors.push_back(Put(root + "fresh", "bytes", true));
        // 6. A rename not flushed (7).
        errors.push_back(rename((root + "named").c_str(), (root + "moved").c_str()) ? errno : 0);
        if (rule.syncFirst) {
            mount.Signal(SIGUSR2);
            EXPECT_EQ(mount.Next(std::chrono::seconds(10)), 's');
        }
        if (rule.cutAfter == 0) {
            mount.Signal(SIGUSR1);
        }
        EXPECT_EQ(mount.Next(std::chrono::seconds(10)), 'c');
        EXPECT_EQ(mount.Stop(), 0);
    }
    const std::size_t fine = rule.cutAfter == 5 ? 7 : errors.size();
    for (std::size_t i = 0; i < errors.size(); ++i) {
        EXPECT_EQ(errors[i], i < fine ? 0 : EIO) << "call " << i + 1;
    }
    EXPECT_EQ(ReadTree(root), rule.disk);
}

const Tree kStrictDisk = {{"old", "before"},
                          {"list", "new list"},
                          {"named", "kept"},
                          {"empty", ""},
                          {"gone", "x"}};

INSTANTIATE_TEST_SUITE_P(
    Ways,
    ForgetfulRules,
    ::testing::Values(
        RuleCase{Way::kStrict, 0, false, kStrictDisk},
        RuleCase{Way::kStrict, 5, false, kStrictDisk},
        RuleCase{Way::kNamesAhead,
                 0,
                 false,
                 {{"old", "before"},
                  {"list", "new list"},
                  {"moved", "kept"},
                  {"empty", ""},
                  {"fresh", "bytes"}}},
        RuleCase{Way::kDeletionsAhead,
                 0,
                 false,
                 {{"old", "before"}, {"list", "new list"}, {"named", "kept"}, {"empty", ""}}},
        RuleCase{Way::kStrict,
                 0,
                 true,
                 {{"old", "changed"},
                  {"list", "new list"},
                  {"moved", "kept"},
                  {"empty", "never flushed"},
                  {"fresh", "bytes"}}}),
    [](const ::testing::TestParamInfo<RuleCase>& info) {
        return std::string(info.param.way == Way::kStrict       ? "Strict"
                           : info.param.way == Way::kNamesAhead ? "NamesAhead"
                                                                : "DeletionsAhead") +
               (info.param.cutAfter ? "CutByItself" : "") +
               (info.param.syncFirst ? "AfterSync" : "");
    });

class PowerCut : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PowerCut, EveryCutLeavesTheDataWholeAndTheJobFinishable) {
    const std::string why = WhyNoFuse();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    const Job& job = Jobs()[GetParam()];
    ScratchFolder work;
    Sweep sweep(job, work.path);
    std::vector<Finding> findings;
    ASSERT_TRUE(sweep.Prepare(&findings)) << findings.front().what;
    const std::vector<std::pair<long, Way>> cuts = sweep.Cuts();

    // Two workers, each in a folder of its own, take the cuts in turn.
    std::mutex lock;
    std::size_t next = 0;
    const auto work_on = [&](int worker) {
        for (;;) {
            std::size_t mine;
            {
                std::lock_guard<std::mutex> held(lock);
                mine = next++;
            }
            if (mine >= cuts.size()) {
                return;
            }
            const auto [k, way] = cuts[mine];
            std::vector<Finding> found;
            try {
                sweep.Cut(worker, k, way, &found);
            } catch (const std::exception& e) {
                found.push_back({k, way, "", e.what()});
            }
            std::lock_guard<std::mutex> held(lock);
            findings.insert(findings.end(), found.begin(), found.end());
        }
    };
    std::thread second(work_on, 2);
    work_on(1);
    second.join();

    std::cout << job.name << ": " << sweep.Operations() << " operations, " << cuts.size()
              << " cuts\n";
    std::sort(findings.begin(), findings.end(),
              [](const Finding& a, const Finding& b) { return a.cut < b.cut; });
    for (const Finding& f : findings) {
        ADD_FAILURE() << job.name << ", power cut after operation " << f.cut << " (" << f.operation
                      << "), " << Describe(f.way) << ": " << f.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs,
                         PowerCut,
                         ::testing::Range<std::size_t>(0, Jobs().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             std::string name;
                             for (const char c : std::string(Jobs()[info.param].name)) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

}  // namespace
