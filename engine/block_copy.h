// The copy loop of both jobs: 4096-byte blocks, with the stop test before every block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/buffered_reader.h"
#include "platform/buffered_writer.h"

// The unit of the stop test and of the piece-completion rule.
constexpr std::size_t kBlockSize = 4096;

// The read-ahead and write-behind buffers under the blocks: large enough to make system
// calls rare, small enough that the bytes are still in the processor's cache when written.
constexpr std::size_t kFileBufferSize = std::size_t{128} << 10;

enum class CopyEnd {
    kLimitReached,  // the output has received `limit` bytes or more
    kSourceEnd,     // a read returned 0 bytes
    kStopped,       // the stop test said no
    kReadFailed,
    kWriteFailed,
};

// What the copy loop asks and tells while it copies.
struct CopyHooks {
    // The stop test before every block: false ends the copy.
    std::function<bool()> keepGoing;
    // Every run of bytes once it has been handed to the output, in order; may be empty.
    std::function<void(const char* data, std::size_t size)> written;
};

// Copies blocks from `from` to `to` until one of the ends above. Each read asks for a whole
// block, so the output may run past `limit` to the end of the block that reaches it.
// `block` holds kBlockSize bytes. `copied` receives the bytes written by this call.
CopyEnd CopyBlocks(platform::BufferedReader& from,
                   platform::BufferedWriter& to,
                   std::uint64_t limit,
                   char* block,
                   const CopyHooks& hooks,
                   std::uint64_t* copied);
