// Recovery benchmark: the region kernels' throughput per instruction set, then creating
// recovery data for a file's pieces and repairing lost pieces, beside par2 doing the same
// on the same data in the same run. Ends with the lines
//   ratio recovery-vs-par2-create VALUE
//   ratio repair-vs-par2 VALUE
// (this library's wall time over par2's).
//
//   recovery_bench [--mib TOTAL] [--slice-mib SIZE] [--recovery COUNT] [--dir DIR]
//
// Defaults: 1024 MiB in pieces of 8 MiB (one slice each), 13 recovery slices, in /dev/shm
// when it is there. As many pieces as there are recovery slices are lost for the repairs.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_system.h"
#include "recovery/region_multiply.h"
#include "recovery/set_creator.h"
#include "recovery/set_repairer.h"
#include "recovery/set_scanner.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

void KernelThroughput() {
    const std::size_t size = 64 << 10;  // stays in the cache: the kernel, not the memory
    std::vector<std::uint8_t> src(size), dst(size);
    for (std::size_t i = 0; i < size; ++i) {
        src[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    for (const recovery::RegionKernel& kernel : recovery::SupportedRegionKernels()) {
        const std::size_t rounds = std::strcmp(kernel.name, "generic") == 0 ? 4000 : 40000;
        const auto start = Clock::now();
        for (std::size_t r = 0; r < rounds; ++r) {
            kernel.function(dst.data(), src.data(), size, static_cast<std::uint16_t>(r | 3));
        }
        const double seconds = Seconds(start);
        std::printf("kernel %-12s %8.2f GB/s (one core, 64 KiB regions)\n", kernel.name,
                    static_cast<double>(size) * rounds / seconds / 1e9);
    }
    std::printf("kernel in use: %s\n", recovery::RegionKernelName());
}

bool WritePiece(const std::string& path, std::size_t size, std::uint64_t salt) {
    std::vector<std::uint64_t> data(size / 8 + 1);
    std::uint64_t x = salt * 0x9E3779B97F4A7C15ull + 1;
    for (auto& word : data) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        word = x;
    }
    platform::File file;
    return file.Open(path, platform::File::Access::kCreateWrite) && file.Write(data.data(), size) &&
           file.Close();
}

bool IsPiece(const std::string& name) {
    return name.find("__") != std::string::npos;
}

long PeakRssMib() {
    struct rusage usage;
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss / 1024 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t totalMib = 1024;
    std::size_t sliceMib = 8;
    std::uint32_t recoveryCount = 13;
    std::string base = platform::PathExists("/dev/shm") ? "/dev/shm" : "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--mib") {
            totalMib = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (option == "--slice-mib") {
            sliceMib = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (option == "--recovery") {
            recoveryCount = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        } else if (option == "--dir") {
            base = argv[i + 1];
        }
    }
    KernelThroughput();

    const std::string root = base + "/secanto-recovery-bench";
    const std::string dir = root + "/pieces";
    Shell("rm -rf '" + root + "' && mkdir -p '" + dir + "' '" + root + "/ours' '" + root +
          "/theirs' '" + root + "/lost'");
    const std::size_t pieceSize = sliceMib << 20;
    const std::size_t count = totalMib / sliceMib;
    recovery::CreateRequest request;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = std::to_string(i + 1) + "__film.avi";
        if (!WritePiece(dir + "/" + name, pieceSize, i)) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
        request.pieces.push_back({dir + "/" + name, name});
    }
    std::printf("data: %zu MiB in %zu pieces of %zu MiB, %u recovery slices, in %s\n", totalMib,
                count, sliceMib, recoveryCount, base.c_str());

    request.indexPath = dir + "/ours.par2";
    request.recoverySlices = recoveryCount;
    auto start = Clock::now();
    recovery::CreateResult created;
    const recovery::Status status = recovery::CreateRecoveryFiles(request, {}, &created);
    const double oursCreate = Seconds(start);
    if (!status.Ok()) {
        std::fprintf(stderr, "create failed: %s: %s\n", status.path.c_str(), status.reason.c_str());
        return 1;
    }
    std::printf("create   ours %7.2f s (slice %llu, peak RSS %ld MiB)\n", oursCreate,
                static_cast<unsigned long long>(created.sliceSize), PeakRssMib());
    Shell("mv '" + dir + "'/ours*.par2 '" + root + "/ours/'");

    start = Clock::now();
    if (Shell("cd '" + dir + "' && par2 create -q -q -s" + std::to_string(pieceSize) + " -c" +
              std::to_string(recoveryCount) + " theirs.par2 *__film.avi > /dev/null") != 0) {
        std::fprintf(stderr, "par2 create failed\n");
        return 1;
    }
    const double theirsCreate = Seconds(start);
    std::printf("create   par2 %7.2f s\n", theirsCreate);

    // The same pieces lost for both repairs: as many as there are recovery slices.
    std::string lost;
    for (std::uint32_t i = 0; i < recoveryCount && i < count; ++i) {
        lost += " " + std::to_string(2 + i * (count - 1) / recoveryCount) + "__film.avi";
    }
    Shell("cd '" + dir + "' && cp" + lost + " ../lost/ && rm" + lost);
    start = Clock::now();
    if (Shell("cd '" + dir + "' && par2 repair -q -q theirs.par2 > /dev/null") != 0) {
        std::fprintf(stderr, "par2 repair failed\n");
        return 1;
    }
    const double theirsRepair = Seconds(start);
    std::printf("repair   par2 %7.2f s\n", theirsRepair);
    Shell("mv '" + dir + "'/theirs*.par2 '" + root + "/theirs/' && mv '" + root + "'/ours/* '" +
          dir + "/' && cd '" + dir + "' && rm" + lost);

    start = Clock::now();
    recovery::ScanResult scan;
    recovery::Status repaired = recovery::ScanFolder(dir, IsPiece, {}, &scan);
    recovery::RepairResult result;
    if (repaired.Ok() && scan.sets.size() == 1) {
        repaired = recovery::RepairSet(scan.sets.front(), {}, &result);
    }
    const double oursRepair = Seconds(start);
    if (!repaired.Ok() || result.rebuilt.size() != std::min<std::size_t>(recoveryCount, count)) {
        std::fprintf(stderr, "repair failed: %s\n", repaired.reason.c_str());
        return 1;
    }
    std::printf("repair   ours %7.2f s (scan and repair, peak RSS %ld MiB)\n", oursRepair,
                PeakRssMib());
    if (Shell("cd '" + dir + "' && for f in" + lost +
              "; do cmp -s \"$f\" \"../lost/$f\" || exit 1; done") != 0) {
        std::fprintf(stderr, "the repaired pieces differ\n");
        return 1;
    }
    Shell("rm -rf '" + root + "'");
    std::printf("ratio recovery-vs-par2-create %.3f\n", oursCreate / theirsCreate);
    std::printf("ratio repair-vs-par2 %.3f\n", oursRepair / theirsRepair);
    return 0;
}
