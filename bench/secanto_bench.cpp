// The benchmark's helper program, driven by bench/run:
//
//   secanto_bench make FILE MIB
//       writes MIB MiB of pseudo-random bytes, none of them zero
//   secanto_bench split TARGET SOURCE PIECE_BYTES PIECES [--delete]
//   secanto_bench join TARGET SOURCE_FOLDER PIECES [--delete]
//       run one job through CJobController and fail unless it ends with JOB_OK after
//       exactly PIECES pieces
//   secanto_bench measure [--stdout FILE] -- PROGRAM ARGS...
//       runs PROGRAM and prints "WALL_SECONDS MAX_RSS_KIB CPU_SECONDS" of it
//   secanto_bench digest sha256|md5 FILE
//       prints the digest of FILE in hex, made in one stream as the jobs make theirs: SHA-256
//       with the processor's SHA instructions where it has them, else (and MD5) the system's
//
// Every tool, ours and the peers, is timed by the same `measure`, so process start and
// exit cost the same on both sides of a ratio.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/job_controller.h"
#include "engine/job_notifications.h"
#include "platform/file.h"
#include "platform/hash.h"
#include "platform/posix/notification_queue.h"
#include "sums/sha256_blocks.h"
#include "sums/sha256_stream.h"

extern char** environ;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: secanto_bench make FILE MIB\n"
                 "       secanto_bench split TARGET SOURCE PIECE_BYTES PIECES [--delete]\n"
                 "       secanto_bench join TARGET SOURCE_FOLDER PIECES [--delete]\n"
                 "       secanto_bench measure [--stdout FILE] -- PROGRAM ARGS...\n"
                 "       secanto_bench digest sha256|md5 FILE\n");
    return 2;
}

bool ParseNumber(const char* text, std::uint64_t* value) {
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') {
        return false;
    }
    *value = parsed;
    return true;
}

int Make(const char* path, std::uint64_t mib) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::perror(path);
        return 1;
    }
    // xorshift64*: fast, and the same bytes on every run, so every location holds the same
    // file and outputs can be compared with it.
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::vector<unsigned char> chunk(std::size_t{1} << 20);
    for (std::uint64_t written = 0; written < mib; ++written) {
        for (std::size_t i = 0; i < chunk.size(); i += 8) {
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
            std::uint64_t word = state * 0x2545F4914F6CDD1Dull;
            for (std::size_t k = 0; k < 8; ++k) {
                unsigned char byte = static_cast<unsigned char>(word >> (8 * k));
                chunk[i + k] = byte != 0 ? byte : 0xA5;
            }
        }
        if (std::fwrite(chunk.data(), 1, chunk.size(), file) != chunk.size()) {
            std::perror(path);
            std::fclose(file);
            return 1;
        }
    }
    if (std::fclose(file) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}

const char* ResultName(std::uintptr_t result) {
    switch (result) {
        case JOB_OK:
            return "JOB_OK";
        case JOB_ABORTED:
            return "JOB_ABORTED";
        case JOB_SOURCE_ERROR:
            return "JOB_SOURCE_ERROR";
        case JOB_TARGET_ERROR:
            return "JOB_TARGET_ERROR";
    }
    return "unknown result";
}

// Runs one job and waits for its WM_JOB_DONE, the way the dialog would.
int RunJob(bool split,
           const char* target,
           const char* source,
           std::uint32_t pieceSize,
           std::uint64_t expected,
           bool deleteSource) {
    platform::NotificationQueue queue;
    CJobController controller(&queue);
    controller.m_bDeleteSource = deleteSource;
    const bool started = split ? controller.StartSplit(target, source, pieceSize)
                               : controller.StartJoin(target, source);
    if (!started) {
        std::fprintf(stderr, "secanto_bench: the job was refused\n");
        return 1;
    }
    platform::Notification note;
    for (;;) {
        // Generous: a slow disk must not end a job that is still going.
        if (!queue.Wait(&note, std::chrono::minutes(10))) {
            std::fprintf(stderr, "secanto_bench: no WM_JOB_DONE\n");
            return 1;
        }
        if (note.message == WM_JOB_DONE) {
            break;
        }
    }
    if (note.wParam != JOB_OK) {
        std::fprintf(stderr, "secanto_bench: job ended with %s\n", ResultName(note.wParam));
        return 1;
    }
    if (static_cast<std::uint64_t>(note.lParam) != expected) {
        std::fprintf(stderr, "secanto_bench: %lld pieces, expected %llu\n",
                     static_cast<long long>(note.lParam),
                     static_cast<unsigned long long>(expected));
        return 1;
    }
    return 0;
}

int Measure(int argc, char** argv) {
    const char* stdoutPath = nullptr;
    int at = 0;
    for (; at < argc; ++at) {
        if (std::strcmp(argv[at], "--stdout") == 0 && at + 1 < argc) {
            stdoutPath = argv[++at];
        } else if (std::strcmp(argv[at], "--") == 0) {
            ++at;
            break;
        } else {
            return Usage();
        }
    }
    if (at >= argc) {
        return Usage();
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutPath != nullptr) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath,
                                         O_WRONLY | O_CREAT | O_TRUNC, 0666);
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    int error = posix_spawnp(&child, argv[at], &actions, nullptr, argv + at, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "secanto_bench: %s: %s\n", argv[at], std::strerror(error));
        return 1;
    }
    int status = 0;
    struct rusage usage;
    // The child's own usage, not that of every child this program ever had.
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("wait4");
            return 1;
        }
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "secanto_bench: %s failed\n", argv[at]);
        return 1;
    }
    // CPU time beside wall time: steadier when other programs share the machine.
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%.6f %ld %.6f\n", wall.count(), usage.ru_maxrss, cpu);
    return 0;
}

int Digest(const std::string& algorithm, const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        std::perror(path);
        return 1;
    }
    const bool md5 = algorithm == "md5";
    const bool kernel = !md5 && sums::Sha256BlocksAvailable();
    sums::Sha256Stream stream;
    platform::Hash hash(md5 ? platform::HashAlgorithm::kMd5 : platform::HashAlgorithm::kSha256);
    bool ok = kernel || hash.Begin();
    std::vector<char> buffer(platform::kFileBufferSize);
    ssize_t got = 0;
    while (ok && (got = read(fd, buffer.data(), buffer.size())) > 0) {
        if (kernel) {
            stream.Update(buffer.data(), static_cast<std::size_t>(got));
        } else {
            ok = hash.Update(buffer.data(), static_cast<std::size_t>(got));
        }
    }
    if (!ok || got < 0 || close(fd) != 0) {
        std::fprintf(stderr, "secanto_bench: %s: could not be hashed\n", path);
        return 1;
    }
    std::string hex;
    if (kernel) {
        hex = stream.Finish();
    } else {
        unsigned char digest[32];
        if (!hash.End(digest)) {
            std::fprintf(stderr, "secanto_bench: %s: could not be hashed\n", path);
            return 1;
        }
        for (std::size_t i = 0; i < hash.DigestLength(); ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", digest[i]);
            hex += pair;
        }
    }
    std::printf("%s\n", hex.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (command == "make" && argc == 4 && ParseNumber(argv[3], &a)) {
        return Make(argv[2], a);
    }
    const bool deleteSource = std::strcmp(argv[argc - 1], "--delete") == 0;
    const int plain = deleteSource ? argc - 1 : argc;
    if (command == "split" && plain == 6 && ParseNumber(argv[4], &a) && a > 0 && a <= UINT32_MAX &&
        ParseNumber(argv[5], &b)) {
        return RunJob(true, argv[2], argv[3], static_cast<std::uint32_t>(a), b, deleteSource);
    }
    if (command == "join" && plain == 5 && ParseNumber(argv[4], &b)) {
        return RunJob(false, argv[2], argv[3], 0, b, deleteSource);
    }
    if (command == "measure") {
        return Measure(argc - 2, argv + 2);
    }
    if (command == "digest" && argc == 4 &&
        (std::strcmp(argv[2], "sha256") == 0 || std::strcmp(argv[2], "md5") == 0)) {
        return Digest(argv[2], argv[3]);
    }
    return Usage();
}
