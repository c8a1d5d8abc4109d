// Hashing through CNG (bcrypt.dll). Its NTSTATUS results become the thread's last error, so
// callers read the reason the same way as for any other Win32 call.
#include "platform/hash.h"

#include <windows.h>
#include <bcrypt.h>
#include <winternl.h>

#include <new>
#include <vector>

namespace platform {

namespace {

// The most handed to one BCryptHashData, whose count is a ULONG.
constexpr std::size_t kMaxChunk = 1u << 30;

bool Succeeded(NTSTATUS status) {
    if (status >= 0) {
        return true;
    }
    ::SetLastError(::RtlNtStatusToDosError(status));
    return false;
}

}  // namespace

struct Hash::State {
    ~State() {
        if (hash != nullptr) {
            ::BCryptDestroyHash(hash);
        }
        if (algorithm != nullptr) {
            ::BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }

    BCRYPT_ALG_HANDLE algorithm = nullptr;
    // The hash object lives in this buffer, made once, so a new stream allocates nothing.
    std::vector<UCHAR> object;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

Hash::Hash(HashAlgorithm algorithm) : m_algorithm(algorithm) {}
Hash::~Hash() = default;

std::size_t Hash::DigestLength() const {
    return m_algorithm == HashAlgorithm::kSha256 ? 32 : 16;
}

bool Hash::Begin() {
    if (!m_state) {
        std::unique_ptr<State> state(new (std::nothrow) State);
        if (!state) {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        const wchar_t* name =
            m_algorithm == HashAlgorithm::kSha256 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_MD5_ALGORITHM;
        if (!Succeeded(::BCryptOpenAlgorithmProvider(&state->algorithm, name, nullptr, 0))) {
            state->algorithm = nullptr;
            return false;
        }
        DWORD objectLength = 0;
        ULONG got = 0;
        if (!Succeeded(::BCryptGetProperty(state->algorithm, BCRYPT_OBJECT_LENGTH,
                                           reinterpret_cast<PUCHAR>(&objectLength),
                                           sizeof objectLength, &got, 0))) {
            return false;
        }
        try {
            state->object.resize(objectLength);
        } catch (const std::bad_alloc&) {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        m_state = std::move(state);
    }
    if (m_state->hash != nullptr) {
        ::BCryptDestroyHash(m_state->hash);
        m_state->hash = nullptr;
    }
    if (!Succeeded(::BCryptCreateHash(m_state->algorithm, &m_state->hash, m_state->object.data(),
                                      static_cast<ULONG>(m_state->object.size()), nullptr, 0, 0))) {
        m_state->hash = nullptr;
        return false;
    }
    return true;
}

bool Hash::Update(const void* data, std::size_t size) {
    if (!m_state || m_state->hash == nullptr) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    PUCHAR bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
        const ULONG chunk = static_cast<ULONG>(size < kMaxChunk ? size : kMaxChunk);
        if (!Succeeded(::BCryptHashData(m_state->hash, bytes, chunk, 0))) {
            return false;
        }
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

bool Hash::End(unsigned char* digest) {
    if (!m_state || m_state->hash == nullptr) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const bool ended =
        Succeeded(::BCryptFinishHash(m_state->hash, digest, static_cast<ULONG>(DigestLength()), 0));
    ::BCryptDestroyHash(m_state->hash);
    m_state->hash = nullptr;
    return ended;
}

}  // namespace platform
