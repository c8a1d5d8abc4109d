// SHA-256 through OpenSSL's libcrypto. OpenSSL sets no errno, so its failures are told as
// ENOMEM when an object could not be made and EIO otherwise.
#include "platform/sha256.h"

#include <cerrno>
#include <new>

#include <openssl/evp.h>

namespace platform {

struct Sha256::State {
    ~State() {
        EVP_MD_CTX_free(context);
        EVP_MD_free(digest);
    }

    // Fetched once: naming the algorithm at each start would look it up every time.
    EVP_MD* digest = nullptr;
    EVP_MD_CTX* context = nullptr;
};

Sha256::Sha256() = default;
Sha256::~Sha256() = default;

bool Sha256::Begin() {
    if (m_streaming) {
        return true;
    }
    if (!m_state) {
        std::unique_ptr<State> state(new (std::nothrow) State);
        if (!state) {
            errno = ENOMEM;
            return false;
        }
        state->digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
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
    m_streaming = true;
    m_failed = false;
    return true;
}

bool Sha256::Update(const void* data, std::size_t size) {
    if (m_failed || !Begin()) {
        m_failed = true;
        return false;
    }
    if (EVP_DigestUpdate(m_state->context, data, size) != 1) {
        errno = EIO;
        m_failed = true;
        return false;
    }
    return true;
}

bool Sha256::Finish(std::string* hex) {
    const bool failed = m_failed;
    m_failed = false;
    if (failed) {
        m_streaming = false;
        errno = EIO;
        return false;
    }
    if (!Begin()) {
        return false;
    }
    m_streaming = false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_state->context, digest, &length) != 1 || length != 32) {
        errno = EIO;
        return false;
    }
    *hex = ToHex(digest, length);
    return true;
}

}  // namespace platform
