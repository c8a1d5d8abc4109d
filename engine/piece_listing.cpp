#include "engine/piece_listing.h"

#include <cstring>

#include "engine/block_copy.h"
#include "engine/job_paths.h"
#include "platform/buffered_reader.h"
#include "platform/folder_listing.h"
#include "platform/system_error.h"

PieceListing ListPieces(const std::string& folder) {
    PieceListing result;
    platform::FolderListing listing;
    if (!listing.Start(folder)) {
        result.reason = platform::LastSystemError();
        return result;
    }
    platform::FolderListing::Entry entry;
    int number = 0;
    std::string fileName;
    while (listing.Next(&entry)) {
        if (!entry.isFolder && ParsePieceName(entry.name, &number, &fileName)) {
            ++result.matches;
            result.lastMatch = entry.name;
            result.fileNames.push_back(entry.name);
        }
    }
    result.complete = !listing.Failed();
    if (!result.complete) {
        result.reason = platform::LastSystemError();
    }
    listing.Close();
    return result;
}

bool PieceLengths(const std::string& folder,
                  const std::string& fileName,
                  const std::vector<int>& numbers,
                  std::vector<std::uint64_t>* lengths,
                  std::string* failedPath,
                  std::string* reason) {
    lengths->assign(numbers.size(), 0);
    platform::BufferedReader piece(platform::kFileBufferSize);
    // From the last down, as the join checks them.
    for (std::size_t i = numbers.size(); i-- > 0;) {
        const std::string path = folder + PieceName(numbers[i], fileName);
        if (!piece.Open(path) || !piece.Length(&(*lengths)[i])) {
            *failedPath = path;
            *reason = platform::LastSystemError();
            piece.Close();
            return false;
        }
        // Only read: closing it loses nothing.
        piece.Close();
    }
    return true;
}

bool HoldsAt(const std::string& partial, std::uint64_t at, const std::string& piece) {
    platform::BufferedReader output(platform::kFileBufferSize);
    platform::BufferedReader last(platform::kFileBufferSize);
    std::uint64_t length = 0;
    std::uint64_t pieceLength = 0;
    if (!output.Open(partial) || !last.Open(piece) || !output.Length(&length) ||
        !last.Length(&pieceLength) || length != at + pieceLength || !output.SkipTo(at)) {
        return false;
    }
    char a[kBlockSize];
    char b[kBlockSize];
    for (std::uint64_t done = 0; done < pieceLength;) {
        const std::size_t step = pieceLength - done < kBlockSize
                                     ? static_cast<std::size_t>(pieceLength - done)
                                     : kBlockSize;
        if (!output.ReadExactly(a, step) || !last.ReadExactly(b, step) ||
            std::memcmp(a, b, step) != 0) {
            return false;
        }
        done += step;
    }
    return true;
}

bool HoldsPiecesFromStart(const std::string& partial,
                          const std::string& folder,
                          const std::string& fileName,
                          int count) {
    platform::BufferedReader output(platform::kFileBufferSize);
    if (!output.Open(partial)) {
        return false;
    }
    char a[kBlockSize];
    char b[kBlockSize];
    for (int number = 1; number <= count; ++number) {
        platform::BufferedReader piece(platform::kFileBufferSize);
        if (!piece.Open(folder + PieceName(number, fileName))) {
            return false;
        }
        for (;;) {
            const std::int64_t got = piece.Read(b, kBlockSize);
            if (got < 0) {
                return false;
            }
            if (got == 0) {
                break;
            }
            const std::int64_t held = output.Read(a, static_cast<std::size_t>(got));
            if (held < 0 || std::memcmp(a, b, static_cast<std::size_t>(held)) != 0) {
                return false;
            }
            if (held < got) {
                return true;  // the partial output ends here
            }
        }
    }
    char more;
    return output.Read(&more, 1) == 0;
}
