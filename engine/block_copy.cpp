#include "engine/block_copy.h"

CopyEnd CopyBlocks(platform::BufferedReader& from,
                   platform::BufferedWriter& to,
                   std::uint64_t limit,
                   char* block,
                   const std::function<bool()>& keepGoing,
                   std::uint64_t* copied) {
    *copied = 0;
    for (;;) {
        if (!keepGoing()) {
            return CopyEnd::kStopped;
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
        *copied += static_cast<std::uint64_t>(got);
        if (*copied >= limit) {
            return CopyEnd::kLimitReached;
        }
    }
}
