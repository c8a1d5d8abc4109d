#include "tests/support/test_files.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::string TempBase() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    return std::string(buffer, length);
#else
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    return base.back() == '/' ? base : base + "/";
#endif
}

bool RemoveEmptyFolder(const std::string& path) {
#ifdef _WIN32
    return RemoveDirectoryA(path.c_str()) != 0;
#else
    return rmdir(path.c_str()) == 0;
#endif
}

int ProcessId() {
#ifdef _WIN32
    return static_cast<int>(GetCurrentProcessId());
#else
    return static_cast<int>(getpid());
#endif
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    for (;;) {
        std::string path = TempBase() + "secanto-test-" + std::to_string(ProcessId()) + "-" +
                           std::to_string(counter++);
        if (platform::CreateFolder(path)) {
            m_path = path + platform::kPathSeparator;
            return;
        }
        if (!platform::PathExists(path)) {
            throw std::runtime_error("cannot create " + path);
        }
    }
}

TempFolder::~TempFolder() {
    RemoveTree(m_path.substr(0, m_path.size() - 1));
}

std::string TempFolder::operator/(const std::string& relative) const {
    std::string path = m_path + relative;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(m_path.size()), path.end(), '/',
                 platform::kPathSeparator);
    return path;
}

std::string Pattern(std::size_t length, unsigned salt) {
    std::string bytes(length, '\0');
    std::uint32_t state = 2166136261u ^ salt;
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    platform::File file;
    if (!file.Open(path, platform::File::Access::kCreateWrite) ||
        !file.Write(bytes.data(), bytes.size()) || !file.Close()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadWholeFile(const std::string& path) {
    platform::File file;
    if (!file.Open(path, platform::File::Access::kReadShareDenyWrite)) {
        throw std::runtime_error("cannot open " + path);
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        std::int64_t got = file.Read(buffer, sizeof buffer);
        if (got < 0) {
            throw std::runtime_error("cannot read " + path);
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    file.Close();
    return bytes;
}

bool Exists(const std::string& path) {
    return platform::PathExists(path);
}

void MakeFolder(const std::string& path) {
    if (!platform::CreateFolder(path)) {
        throw std::runtime_error("cannot create folder " + path);
    }
}

std::vector<std::string> ListNames(const std::string& folder) {
    std::string prefix = folder;
    AppendSeparator(&prefix);
    std::vector<std::string> names;
    platform::FolderListing listing;
    if (listing.Start(prefix)) {
        platform::FolderListing::Entry entry;
        while (listing.Next(&entry)) {
            if (entry.name != "." && entry.name != "..") {
                names.push_back(entry.name);
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

void RemoveTree(const std::string& path) {
    std::string folder = path;
    // A double-byte character may end in the byte of the separator; only a real one goes.
    if (EndsWithSeparator(folder)) {
        folder.pop_back();
    }
    if (platform::RemoveFile(folder)) {
        return;
    }
    platform::FolderListing listing;
    if (!listing.Start(folder + platform::kPathSeparator)) {
        return;
    }
    platform::FolderListing::Entry entry;
    while (listing.Next(&entry)) {
        if (entry.name == "." || entry.name == "..") {
            continue;
        }
        const std::string child = folder + platform::kPathSeparator + entry.name;
        if (entry.isFolder) {
            RemoveTree(child);
        } else {
            platform::RemoveFile(child);
        }
    }
    listing.Close();
    RemoveEmptyFolder(folder);
}

void MakeSparseFile(const std::string& path, std::uint64_t length, const std::string& tail) {
#ifdef _WIN32
    (void)path;
    (void)length;
    (void)tail;
    throw std::runtime_error("sparse files are made only natively");
#else
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(length)) != 0 ||
        pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(length - tail.size())) !=
            static_cast<ssize_t>(tail.size()) ||
        close(fd) != 0) {
        throw std::runtime_error("cannot make sparse file " + path);
    }
#endif
}

std::vector<std::string> ExpectedPieces(const std::string& content, std::uint64_t pieceSize) {
    const std::uint64_t block = 4096;
    const std::uint64_t full = (pieceSize + block - 1) / block * block;
    std::vector<std::string> pieces;
    for (std::uint64_t at = 0;; at += full) {
        pieces.push_back(content.substr(at, static_cast<std::size_t>(full)));
        if (pieces.back().size() < full) {
            return pieces;
        }
    }
}
