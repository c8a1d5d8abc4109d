#include "engine/block_copy.h"

CopyEnd CopyBlocks(platform::BufferedReader& from,
                   platform::BufferedWriter& to,
                   std::uint64_t limit,
                   char* block,
                   const CopyHooks& hooks,
                   std::uint64_t* copied) {
    *copied = 0;
    // The output ends where the block that reaches the limit ends, as it does block by block.
    const std::uint64_t end = limit > UINT64_MAX - (kBlockSize - 1)
                                  ? UINT64_MAX
                                  : (limit + kBlockSize - 1) / kBlockSize * kBlockSize;
    const auto count = [&hooks, copied](std::size_t size) {
        *copied += size;
        if (hooks.counter != nullptr) {
            hooks.counter->fetch_add(size, std::memory_order_relaxed);
        }
    };
    for (;;) {
        if (!hooks.keepGoing()) {
            return CopyEnd::kStopped;
        }
        const std::uint64_t room = end - *copied;
        platform::File* source = hooks.written ? nullptr : from.Unbuffered();
        if (source != nullptr) {
            const std::int64_t got =
                to.CopyFrom(*source, room < kSystemCopyChunk ? static_cast<std::size_t>(room)
                                                             : kSystemCopyChunk);
            if (got == 0) {
                return CopyEnd::kSourceEnd;
            }
            if (got > 0) {
                count(static_cast<std::size_t>(got));
                if (*copied >= limit) {
                    return CopyEnd::kLimitReached;
                }
                continue;
            }
        }
        // Whole blocks already in the read-ahead buffer go to the output as one run, each
        // after its own stop test, which spares a copy through `block`.
        std::size_t available = 0;
        const char* run = from.Peek(&available);
        if (available >= kBlockSize && room >= kBlockSize) {
            std::size_t length = kBlockSize;
            while (length + kBlockSize <= available && length + kBlockSize <= room &&
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
            count(length);
            if (*copied >= limit) {
                return CopyEnd::kLimitReached;
            }
            continue;
        }
        std::int64_t got =
            from.Read(block, room < kBlockSize ? static_cast<std::size_t>(room) : kBlockSize);
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
        count(static_cast<std::size_t>(got));
        if (*copied >= limit) {
            return CopyEnd::kLimitReached;
        }
    }
}
