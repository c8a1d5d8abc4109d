#include "sums/sums_file.h"

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/own_file.h"
#include "platform/system_error.h"

namespace sums {

const char kSumsName[] = "SHA256SUMS";
const char kSumsLockName[] = ".SHA256SUMS.lock";

namespace {

// The list's temporary file: one name, used under the lock by one run at a time, so that
// whatever a killed run left there is removed by the next. Earlier versions made
// "SHA256SUMS.RANDOM.tmp", still the list's own.
const char kTemporaryName[] = ".SHA256SUMS.tmp";
const char kTemporaryPrefix[] = "SHA256SUMS.";
const char kTemporarySuffix[] = ".tmp";

bool Fail(const std::string& path, std::string* failedPath, std::string* reason) {
    *failedPath = path;
    *reason = platform::LastSystemError();
    return false;
}

}  // namespace

std::vector<std::string> SumsFileNames() {
    return {kSumsName, kSumsLockName, kTemporaryName};
}

bool IsSumsFileName(const std::string& name) {
    const std::string prefix = kTemporaryPrefix;
    const std::string suffix = kTemporarySuffix;
    return name == kSumsName || name == kSumsLockName || name == kTemporaryName ||
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
    platform::OwnFile own;
    const std::string temporary = inFolder + kTemporaryName;
    // Not hidden by an attribute: the list takes it over with its name.
    if (!own.Create(temporary, &file, platform::File::Access::kCreateNew)) {
        return Fail(temporary, failedPath, reason);
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
