#include "engine/block_copy.h"

CopyEnd CopyBlocks(platform::BufferedReader& from,
                   platform::BufferedWriter& to,
                   std::uint64_t limit,
                   char* block,
                   const CopyHooks& hooks,
                   std::uint64_t* copied) {
    *copied = 0;
    for (;;) {
        if (!hooks.keepGoing()) {
            return CopyEnd::kStopped;
        }
        // Whole blocks already in the read-ahead buffer go to the output as one run, each
        // after its own stop test, which spares a copy through `block`.
        std::size_t available = 0;
        const char* run = from.Peek(&available);
        if (available >= kBlockSize) {
            std::size_t length = kBlockSize;
            while (length + kBlockSize <= available && *copied + length < limit &&
                   hooks.keepGoing()) {
                length += kBlockSize;
            }
            from.Skip(length);
            if (!to.Write(run, length)) {
                return CopyEnd::kWriteFailed;
            }
            if (hooks.written) {
                hooks.written(run, length);
            }
            *copied += length;
            if (*copied >= limit) {
                return CopyEnd::kLimitReached;
            }
            continue;
        }
        std::int64_t got = from.Read(block, kBlockSize);
        if (got < 0) {
            return CopyEnd::kReadFailed;
        }
        if (got == 0) {
            return CopyEnd::kSourceEnd;
        }
        if (!to.Write(block, static_cast<std::size_t>(got))) {
            return CopyEnd::kWriteFailed;
        }
        if (hooks.written) {
            hooks.written(block, static_cast<std::size_t>(got));
        }
        *copied += static_cast<std::uint64_t>(got);
        if (*copied >= limit) {
            return CopyEnd::kLimitReached;
        }
    }
}
