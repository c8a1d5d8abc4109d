// The copy loop of both jobs: 4096-byte blocks, with the stop test before every block.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/buffered_reader.h"
#include "platform/buffered_writer.h"

// The unit of the stop test and of the piece-completion rule.
constexpr std::size_t kBlockSize = 4096;

enum class CopyEnd {
    kLimitReached,  // the output has received `limit` bytes
    kSourceEnd,     // a read returned 0 bytes
    kStopped,       // the stop test said no
    kReadFailed,
    kWriteFailed,
};

// The most copied inside the system between two stop tests: an abort lands within about a
// millisecond even so.
constexpr std::size_t kSystemCopyChunk = std::size_t{1} << 20;

// What the copy loop asks and tells while it copies.
struct CopyHooks {
    // The stop test before every block: false ends the copy.
    std::function<bool()> keepGoing;
    // Every run of bytes once it has been handed to the output, in order; may be empty.
    // Where it is empty, the system may copy the bytes itself without showing them.
    std::function<void(const char* data, std::size_t size)> written;
    // Counts every byte handed to the output; may be null.
    std::atomic<std::uint64_t>* counter = nullptr;
    // Where set and not null, the buffer to read the next bytes into (at least kBlockSize
    // bytes long, JobObserver::ReadBuffer): what is read there goes to `written` at once,
    // before it is written, and is written out from there, so it is never copied in between.
    std::function<char*(std::size_t* size)> lend = nullptr;
};

// Copies blocks from `from` to `to` until one of the ends above, never more than `limit`
// bytes (a whole block at a time until the last, which may be shorter). `block` holds
// kBlockSize bytes. `copied` receives the bytes written by this call.
// Where the system can copy between the two files and nobody watches the bytes, it copies
// them in chunks of up to kSystemCopyChunk with the same ends, a stop test before each;
// where it cannot, or fails, the copy goes on through the buffers.
CopyEnd CopyBlocks(platform::BufferedReader& from,
                   platform::BufferedWriter& to,
                   std::uint64_t limit,
                   char* block,
                   const CopyHooks& hooks,
                   std::uint64_t* copied);
