// The list read once per repair; each rebuilt piece hashed from its temporary file, and the
// whole file from the pieces and the temporary files in their place.
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

// Adds the bytes of the file at `path` to `hash`, asking `keepGoing` every few MiB: false,
// with the reason, when it could not be read or hashed; with an empty one when stopped.
bool HashFile(const std::string& path,
              const recovery::KeepGoing& keepGoing,
              platform::Hash* hash,
              std::string* reason) {
    platform::File file;
    if (!file.Open(path, platform::File::Access::kReadShareDenyWrite)) {
        *reason = platform::LastSystemError();
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[kReadSize]);
    std::size_t sinceAsked = 0;
    for (;;) {
        const std::int64_t got = file.Read(buffer.get(), kReadSize);
        if (got < 0 || (got > 0 && !hash->Update(buffer.get(), static_cast<std::size_t>(got)))) {
            *reason = platform::LastSystemError();
            return false;
        }
        if (got == 0) {
            return true;
        }
        sinceAsked += static_cast<std::size_t>(got);
        if (sinceAsked >= recovery::kKeepGoingInterval) {
            sinceAsked = 0;
            if (keepGoing && !keepGoing()) {
                reason->clear();
                return false;
            }
        }
    }
}

// The digest as 64 lower-case hex digits; false, with the reason, when hashing failed.
bool HexDigest(platform::Hash* hash, std::string* hex, std::string* reason) {
    unsigned char digest[32];
    if (!hash->End(digest)) {
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

bool Sha256Of(const std::string& path,
              const recovery::KeepGoing& keepGoing,
              std::string* hex,
              std::string* reason) {
    platform::Hash hash(platform::HashAlgorithm::kSha256);
    if (!hash.Begin()) {
        *reason = platform::LastSystemError();
        return false;
    }
    return HashFile(path, keepGoing, &hash, reason) && HexDigest(&hash, hex, reason);
}

}  // namespace

RebuiltSums::Read RebuiltSums::ReadList(const std::string& folder,
                                        const std::string& fileName,
                                        std::string* reason) {
    m_folder = folder;
    m_fileName = fileName;
    m_listed = sums::SplitChecksums();
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

bool RebuiltSums::MatchesLine(int number,
                              const std::string& path,
                              const recovery::KeepGoing& keepGoing,
                              bool* matches,
                              std::string* reason) const {
    const auto listed = m_listed.pieces.find(number);
    std::string digest;
    if (listed == m_listed.pieces.end() || !Sha256Of(path, keepGoing, &digest, reason)) {
        *matches = false;
        return listed == m_listed.pieces.end();
    }
    *matches = digest == listed->second;
    return true;
}

recovery::Status RebuiltSums::Check(const std::vector<recovery::RebuiltFile>& rebuilt,
                                    int pieces,
                                    const recovery::KeepGoing& keepGoing) const {
    using recovery::Failure;
    using recovery::Status;
    const Status stopped = Status::Fail(Failure::kStopped, m_folder, "stopped");
    std::vector<std::string> paths;  // the file's pieces, rebuilt ones at their temporary
    for (int number = 1; number <= pieces; ++number) {
        paths.push_back(InFolder(m_folder, PieceName(number, m_fileName)));
    }
    for (const recovery::RebuiltFile& file : rebuilt) {
        const std::string name = LastComponent(file.path);
        int number = 0;
        if (!ParsePieceNumber(name, m_fileName, &number)) {
            continue;  // the recovery data names only pieces; nothing else to check
        }
        if (number >= 1 && number <= pieces) {
            paths[static_cast<std::size_t>(number - 1)] = file.temporaryPath;
        }
        if (std::find(m_listed.conflicts.begin(), m_listed.conflicts.end(), name) !=
            m_listed.conflicts.end()) {
            return Status::Fail(Failure::kRecoveryData, file.path,
                                "rebuilt, but SHA256SUMS has lines for it that disagree");
        }
        const auto listed = m_listed.pieces.find(number);
        if (listed == m_listed.pieces.end()) {
            continue;
        }
        std::string digest;
        std::string why;
        if (!Sha256Of(file.temporaryPath, keepGoing, &digest, &why)) {
            return why.empty() ? stopped
                               : Status::Fail(Failure::kTarget, file.path,
                                              "rebuilt, but could not be checked against "
                                              "SHA256SUMS: " +
                                                  why);
        }
        if (digest != listed->second) {
            return Status::Fail(Failure::kRecoveryData, file.path,
                                "rebuilt, but it does not match its line in SHA256SUMS");
        }
    }
    if (!m_listed.pieces.empty() || m_listed.file.empty() || rebuilt.empty()) {
        return Status();
    }
    // Only the file's line: the pieces must make that file before any takes its place.
    platform::Hash hash(platform::HashAlgorithm::kSha256);
    std::string why;
    if (!hash.Begin()) {
        return Status::Fail(Failure::kSource, m_folder, platform::LastSystemError());
    }
    for (const std::string& path : paths) {
        if (!HashFile(path, keepGoing, &hash, &why)) {
            return why.empty() ? stopped : Status::Fail(Failure::kSource, path, why);
        }
    }
    std::string digest;
    if (!HexDigest(&hash, &digest, &why)) {
        return Status::Fail(Failure::kSource, m_folder, why);
    }
    if (digest != m_listed.file) {
        return Status::Fail(Failure::kRecoveryData, InFolder(m_folder, m_fileName),
                            "the pieces as rebuilt do not make the file SHA256SUMS lists: "
                            "stale recovery data");
    }
    return Status();
}

}  // namespace folder
