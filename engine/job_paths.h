// Path and name rules shared by the split and the join job. Paths are byte strings in the
// system's narrow code page; every search steps over multi-byte characters whole, so the
// second byte of a double-byte character is never taken for a separator.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Position of the first `needle` at or after `from` that starts on a character boundary,
// or std::string::npos.
std::size_t FindInPath(const std::string& path, const std::string& needle, std::size_t from = 0);

// True when the last character of `path` is the path separator.
bool EndsWithSeparator(const std::string& path);

// Appends the path separator unless the path ends with one already.
void AppendSeparator(std::string* path);

// The folder holding the file `path`: "." for a bare name; a root keeps its separator.
std::string FolderOf(const std::string& path);

// The text after the last separator of `path`; empty when it ends with one.
std::string LastComponent(const std::string& path);

// `name` in `folder`, with one separator between them.
std::string InFolder(const std::string& folder, const std::string& name);

// Creates `folder` and every folder above it, outermost first: each prefix that ends just
// before a separator, then the whole path. Failures are left to show later, when a file
// in the folder cannot be created. Returns the folders that gained an entry (the one
// above each folder made; empty for the current folder), for FlushFolders.
std::vector<std::string> CreateFolderChain(const std::string& folder);

// The name of piece `number` of the file `fileName`: "1__film.avi", "2__film.avi", …
std::string PieceName(int number, const std::string& fileName);

// The joined file's name in a piece name: the text after its first "__". False when the
// name holds no "__".
bool NameAfterMarker(const std::string& pieceName, std::string* fileName);

// The name a join writes its output under until the output is whole, in the output's
// folder: short whatever the output's name (a fixed prefix and a hash of that name), so
// that it always fits, and the same for the same name, so that a later join finds it.
std::string StagingName(const std::string& outputName);

// Reads an entry's name as a piece's: true, with its number and the file's name, for
// N__NAME with N a piece number as PieceName writes it (decimal from 1, no leading zero).
// Anything else (notes__film.avi, 01__film.avi) is no piece.
bool ParsePieceName(const std::string& entry, int* number, std::string* fileName);

// Parses a name made by PieceName for `fileName`, matched as the file system matches names;
// false for any other name, numbers with a sign or leading zeros included.
bool ParsePieceNumber(const std::string& name, const std::string& fileName, int* number);
