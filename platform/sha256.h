// SHA-256 over a stream of bytes, as hex digits, for the checksum lines a split writes beside
// its pieces: the system's hash (platform/hash.h) with the stream's own bookkeeping.
#pragma once

#include <cstddef>
#include <string>

#include "platform/hash.h"

namespace platform {

// One hasher serves any number of streams in turn: Update as often as the data comes, then
// Finish, and the next Update starts the next stream. One object must not be shared by
// threads.
class Sha256 {
public:
    Sha256() : m_hash(HashAlgorithm::kSha256) {}

    // Adds `size` bytes to the current stream. After a failure the stream is lost: Finish
    // reports it, and the stream after that starts afresh.
    bool Update(const void* data, std::size_t size);
    // Ends the current stream; `hex` gets its digest as 64 lower-case hex digits. False
    // when the stream could not be hashed, with the system's error set.
    bool Finish(std::string* hex);

private:
    Hash m_hash;
    bool m_streaming = false;  // Update or Finish started a stream not yet finished
    bool m_failed = false;     // an update of the current stream failed
};

// Bytes as lower-case hex digits.
std::string ToHex(const unsigned char* bytes, std::size_t length);

}  // namespace platform
