// Files and folders for tests, made and read through the product's own file layer, so that
// names in the narrow code page mean the same to the test and to the jobs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kMiB = std::size_t{1} << 20;

// A fresh folder, removed with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, ending with the path separator.
    const std::string& Path() const { return m_path; }
    // A path inside the folder; '/' in `relative` becomes the path separator.
    std::string operator/(const std::string& relative) const;

private:
    std::string m_path;
};

// `length` bytes of a pattern that differs with `salt` and does not repeat at block size.
std::string Pattern(std::size_t length, unsigned salt = 1);

void WriteWholeFile(const std::string& path, const std::string& bytes);
// The file's bytes; throws std::runtime_error when it cannot be read.
std::string ReadWholeFile(const std::string& path);
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);

// Names in a folder, "." and ".." left out, sorted.
std::vector<std::string> ListNames(const std::string& folder);

// Removes a file or a folder with everything in it.
void RemoveTree(const std::string& path);

// Makes `path` a sparse file of `length` bytes with `tail` written at its end.
void MakeSparseFile(const std::string& path, std::uint64_t length, const std::string& tail);

// The pieces a split of `content` writes with piece size `pieceSize`: every read takes a
// 4096-byte block, and a piece is complete after the block that brings it to the size.
std::vector<std::string> ExpectedPieces(const std::string& content, std::uint64_t pieceSize);
