// SHA-256 over a stream of bytes, through the system's own cryptography, for the checksum
// lines a split writes beside its pieces.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

// One hasher serves any number of streams in turn: Update as often as the data comes, then
// Finish, and the next Update starts the next stream. The system's hashing is set up once
// per object, not per stream or per update. One object must not be shared by threads.
class Sha256 {
public:
    Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    ~Sha256();

    // Adds `size` bytes to the current stream. After a failure the stream is lost: Finish
    // reports it, and the stream after that starts afresh.
    bool Update(const void* data, std::size_t size);
    // Ends the current stream; `hex` gets its digest as 64 lower-case hex digits. False
    // when the stream could not be hashed, with the system's error set.
    bool Finish(std::string* hex);

private:
    struct State;  // the system's objects, made on first use and kept for later streams

    // Starts a stream unless one is under way.
    bool Begin();
    // The finished digest's bytes as lower-case hex digits.
    static std::string ToHex(const unsigned char* digest, std::size_t length);

    std::unique_ptr<State> m_state;
    bool m_streaming = false;  // Update or Finish started a stream not yet finished
    bool m_failed = false;     // an update of the current stream failed
};

}  // namespace platform
