// Hashing through OpenSSL's libcrypto. OpenSSL sets no errno, so its failures are told as
// ENOMEM when an object could not be made and EIO otherwise.
#include "platform/hash.h"

#include <cerrno>
#include <new>

#include <openssl/evp.h>

namespace platform {

struct Hash::State {
    ~State() {
        EVP_MD_CTX_free(context);
        EVP_MD_free(digest);
    }

    // Fetched once: naming the algorithm at each start would look it up every time.
    EVP_MD* digest = nullptr;
    EVP_MD_CTX* context = nullptr;
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
            errno = ENOMEM;
            return false;
        }
        state->digest = EVP_MD_fetch(
            nullptr, m_algorithm == HashAlgorithm::kSha256 ? "SHA256" : "MD5", nullptr);
        state->context = EVP_MD_CTX_new();
        if (state->digest == nullptr || state->context == nullptr) {
            errno = ENOMEM;
            return false;
        }
        m_state = std::move(state);
    }
    if (EVP_DigestInit_ex2(m_state->context, m_state->digest, nullptr) != 1) {
        errno = EIO;
        return false;
    }
    return true;
}

bool Hash::Update(const void* data, std::size_t size) {
    if (!m_state || EVP_DigestUpdate(m_state->context, data, size) != 1) {
        errno = EIO;
        return false;
    }
    return true;
}

bool Hash::End(unsigned char* digest) {
    unsigned int length = 0;
    if (!m_state || EVP_DigestFinal_ex(m_state->context, digest, &length) != 1 ||
        length != DigestLength()) {
        errno = EIO;
        return false;
    }
    return true;
}

}  // namespace platform
