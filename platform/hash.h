// The system's hash functions (SHA-256 and MD5): libcrypto natively, CNG on Windows. One
// object hashes one stream at a time and is reused for the next; the system's objects are
// set up once per object, not per stream. One object must not be shared by threads.
#pragma once

#include <cstddef>
#include <memory>

namespace platform {

enum class HashAlgorithm { kSha256, kMd5 };

class Hash {
public:
    explicit Hash(HashAlgorithm algorithm);
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    ~Hash();

    // Bytes of a digest: 32 for SHA-256, 16 for MD5.
    std::size_t DigestLength() const;

    // Starts a new stream, dropping one under way. False with the system's error set.
    bool Begin();
    // Adds bytes to the stream that Begin started.
    bool Update(const void* data, std::size_t size);
    // Ends the stream, writing DigestLength() bytes to `digest`.
    bool End(unsigned char* digest);

private:
    struct State;  // the system's objects

    const HashAlgorithm m_algorithm;
    std::unique_ptr<State> m_state;
};

}  // namespace platform
