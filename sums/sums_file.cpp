#include "sums/sums_file.h"

#include <random>

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace sums {

const char kSumsName[] = "SHA256SUMS";
const char kSumsLockName[] = ".SHA256SUMS.lock";

namespace {

const char kTemporaryPrefix[] = "SHA256SUMS.";
const char kTemporarySuffix[] = ".tmp";
// Hex digits of a random tag in a temporary name.
constexpr std::size_t kTagLength = 12;

bool Fail(const std::string& path, std::string* failedPath, std::string* reason) {
    *failedPath = path;
    *reason = platform::LastSystemError();
    return false;
}

// Creates a temporary file no other run has: a random name, made only if it is new. False
// with the system's reason.
bool CreateTemporary(const std::string& folder,
                     platform::File* file,
                     std::string* path,
                     std::string* reason) {
    std::random_device entropy;
    std::mt19937_64 random((std::uint64_t{entropy()} << 32) ^ entropy());
    for (int attempt = 0; attempt < 100; ++attempt) {
        static const char kDigits[] = "0123456789abcdef";
        std::string tag;
        for (std::uint64_t bits = random(); tag.size() < kTagLength; bits >>= 4) {
            tag.push_back(kDigits[bits & 15]);
        }
        *path = folder + kTemporaryPrefix + tag + kTemporarySuffix;
        if (file->Open(*path, platform::File::Access::kCreateNew)) {
            return true;
        }
        const bool taken = platform::LastErrorIsAlreadyThere();
        *reason = platform::LastSystemError();
        if (!taken) {
            return false;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> SumsFileNames() {
    return {kSumsName, kSumsLockName,
            kTemporaryPrefix + std::string(kTagLength, '0') + kTemporarySuffix};
}

bool IsSumsFileName(const std::string& name) {
    const std::string prefix = kTemporaryPrefix;
    const std::string suffix = kTemporarySuffix;
    return name == kSumsName || name == kSumsLockName ||
           (name.size() >= prefix.size() + suffix.size() - 1 &&
            name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
}

bool UpdateSumsFile(const std::string& folder,
                    const std::function<bool(ChecksumList*)>& change,
                    std::string* failedPath,
                    std::string* reason) {
    std::string inFolder = folder;
    AppendSeparator(&inFolder);
    const std::string listPath = inFolder + kSumsName;
    platform::FileLock lock;
    if (!lock.Acquire(inFolder + kSumsLockName)) {
        return Fail(inFolder + kSumsLockName, failedPath, reason);
    }
    ChecksumList list;
    if (list.Read(listPath, reason) == ChecksumList::ReadResult::kFailed) {
        *failedPath = listPath;
        return false;
    }
    if (!change(&list)) {
        return true;
    }
    const std::string text = list.Text();
    if (text.empty()) {
        // What was removed before it (the pieces it listed) is made durable first, so that a
        // crash never leaves those pieces without their lines.
        if (!platform::FlushFolder(FolderOf(listPath))) {
            return Fail(listPath, failedPath, reason);
        }
        if (!platform::RemoveFile(listPath) && platform::PathExists(listPath)) {
            return Fail(listPath, failedPath, reason);
        }
        return platform::FlushFolder(FolderOf(listPath)) || Fail(listPath, failedPath, reason);
    }
    platform::File file;
    std::string temporary;
    if (!CreateTemporary(inFolder, &file, &temporary, reason)) {
        *failedPath = temporary;
        return false;
    }
    // The reason is taken before the clean-up, whose calls would replace it.
    if (!file.Write(text.data(), text.size()) || !file.Flush() || !file.Close()) {
        Fail(temporary, failedPath, reason);
        file.Close();
        platform::RemoveFile(temporary);
        return false;
    }
    if (!platform::RenameFile(temporary, listPath)) {
        Fail(listPath, failedPath, reason);
        platform::RemoveFile(temporary);
        return false;
    }
    return platform::FlushFolder(FolderOf(listPath)) || Fail(listPath, failedPath, reason);
}

}  // namespace sums
