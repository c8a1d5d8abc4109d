// The list read once per repair; each rebuilt piece hashed from its temporary file.
#include "folder/rebuilt_sums.h"

#include <algorithm>
#include <memory>

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/hash.h"
#include "platform/system_error.h"
#include "sums/sums_file.h"

namespace folder {

namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;

// The file's SHA-256 as 64 lower-case hex digits; false, with the reason, when it could not
// be read or hashed.
bool Sha256Of(const std::string& path, std::string* hex, std::string* reason) {
    platform::File file;
    platform::Hash hash(platform::HashAlgorithm::kSha256);
    if (!file.Open(path, platform::File::Access::kReadShareDenyWrite) || !hash.Begin()) {
        *reason = platform::LastSystemError();
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[kReadSize]);
    for (;;) {
        const std::int64_t got = file.Read(buffer.get(), kReadSize);
        if (got < 0 || (got > 0 && !hash.Update(buffer.get(), static_cast<std::size_t>(got)))) {
            *reason = platform::LastSystemError();
            return false;
        }
        if (got == 0) {
            break;
        }
    }
    unsigned char digest[32];
    if (!hash.End(digest)) {
        *reason = platform::LastSystemError();
        return false;
    }
    static const char kDigits[] = "0123456789abcdef";
    hex->clear();
    for (unsigned char byte : digest) {
        hex->push_back(kDigits[byte >> 4]);
        hex->push_back(kDigits[byte & 15]);
    }
    return true;
}

}  // namespace

RebuiltSums::Read RebuiltSums::ReadList(const std::string& folder,
                                        const std::string& fileName,
                                        std::string* reason) {
    m_fileName = fileName;
    sums::ChecksumList list;
    switch (list.Read(InFolder(folder, sums::kSumsName), reason)) {
        case sums::ChecksumList::ReadResult::kRead:
            break;
        case sums::ChecksumList::ReadResult::kMissing:
            return Read::kNotListed;
        case sums::ChecksumList::ReadResult::kFailed:
            return Read::kFailed;
    }
    m_listed = list.Find(fileName);
    return m_listed.Lists() ? Read::kListed : Read::kNotListed;
}

bool RebuiltSums::Check(const std::string& path,
                        const std::string& temporaryPath,
                        std::string* reason) {
    const std::string name = LastComponent(path);
    int number = 0;
    if (!ParsePieceNumber(name, m_fileName, &number)) {
        return true;  // the recovery data names only pieces; nothing else to check
    }
    if (std::find(m_listed.conflicts.begin(), m_listed.conflicts.end(), name) !=
        m_listed.conflicts.end()) {
        *reason = "rebuilt, but SHA256SUMS has lines for it that disagree";
        return false;
    }
    const auto listed = m_listed.pieces.find(number);
    if (listed == m_listed.pieces.end()) {
        return true;
    }
    std::string digest;
    std::string why;
    if (!Sha256Of(temporaryPath, &digest, &why)) {
        *reason = "rebuilt, but could not be checked against SHA256SUMS: " + why;
        return false;
    }
    if (digest != listed->second) {
        *reason = "rebuilt, but it does not match its line in SHA256SUMS";
        return false;
    }
    return true;
}

}  // namespace folder
