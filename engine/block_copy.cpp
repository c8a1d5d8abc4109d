#include "engine/block_copy.h"

CopyEnd CopyBlocks(platform::BufferedReader& from,
                   platform::BufferedWriter& to,
                   std::uint64_t limit,
                   char* block,
                   const CopyHooks& hooks,
                   std::uint64_t* copied) {
    *copied = 0;
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
        const std::uint64_t room = limit - *copied;
        if (room == 0) {
            return CopyEnd::kLimitReached;
        }
        platform::File* source = hooks.written ? nullptr : from.Unbuffered();
        if (source != nullptr) {
            const std::int64_t got =
                to.CopyFrom(*source, room < kSystemCopyChunk ? static_cast<std::size_t>(room)
                                                             : kSystemCopyChunk);
            // Some kernels and file systems copy nothing before the end, so an end the
            // system's copy reports is confirmed by a read below; where the read finds
            // bytes, the system's copy is not used again.
            if (got == 0) {
                const std::int64_t read = from.Read(block, 1);
                if (read == 0) {
                    return CopyEnd::kSourceEnd;
                }
                to.RefuseCopy();
                if (read < 0) {
                    return CopyEnd::kReadFailed;
                }
                if (!to.Write(block, 1)) {
                    return CopyEnd::kWriteFailed;
                }
                if (hooks.written) {
                    hooks.written(block, 1);
                }
                count(1);
                if (*copied >= limit) {
                    return CopyEnd::kLimitReached;
                }
                continue;
            }
            if (got > 0) {
                count(static_cast<std::size_t>(got));
                if (*copied >= limit) {
                    return CopyEnd::kLimitReached;
                }
                continue;
            }
        }
        // A buffer lent by the watcher is read into directly while the read-ahead buffer is
        // empty: the watcher reads the bytes where they are, as the output does.
        if (hooks.lend && hooks.written) {
            platform::File* file = from.Unbuffered();
            std::size_t capacity = 0;
            char* lent = file != nullptr ? hooks.lend(&capacity) : nullptr;
            if (lent != nullptr && capacity >= kBlockSize) {
                const std::size_t blocks = capacity / kBlockSize * kBlockSize;
                const std::size_t want = room < blocks ? static_cast<std::size_t>(room) : blocks;
                std::size_t got = 0;
                // A short read (a pipe) is filled up to a whole block, so that blocks stay
                // whole, but no further: the stop test comes after every block.
                do {
                    const std::int64_t read = file->Read(lent + got, want - got);
                    if (read < 0) {
                        return CopyEnd::kReadFailed;
                    }
                    if (read == 0) {
                        break;
                    }
                    got += static_cast<std::size_t>(read);
                } while (got < want && got % kBlockSize != 0);
                if (got == 0) {
                    return CopyEnd::kSourceEnd;
                }
                std::size_t length = got < kBlockSize ? got : kBlockSize;
                while (length < got && hooks.keepGoing()) {
                    length += got - length < kBlockSize ? got - length : kBlockSize;
                }
                hooks.written(lent, length);
                if (!to.Write(lent, length)) {
                    return CopyEnd::kWriteFailed;
                }
                count(length);
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
