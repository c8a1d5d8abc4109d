#include "engine/continue_probe.h"

#include <cstdint>
#include <vector>

#include "engine/job_paths.h"
#include "engine/piece_listing.h"
#include "platform/file.h"

ContinueFit ProbeContinue(const std::string& source,
                          const std::string& target,
                          bool staged,
                          ContinueProbe* probe,
                          const std::optional<std::string>& named) {
    std::string* why = &probe->why;
    std::string* partialPath = &probe->partialPath;
    std::string& fileName = probe->fileName;
    std::string folder = source;
    AppendSeparator(&folder);
    const PieceListing listing = ListPieces(folder);
    fileName = named.value_or(std::string());
    if (!listing.complete || listing.matches == 0 ||
        (!named && !NameAfterMarker(listing.lastMatch, &fileName)) || fileName.empty() ||
        fileName == "." || fileName == "..") {
        *why = "no pieces";
        return ContinueFit::kNoFit;
    }
    std::string targetFolder = target;
    AppendSeparator(&targetFolder);
    *partialPath = targetFolder + (staged ? StagingName(fileName) : fileName);
    platform::FileStamp partial;
    if (!platform::StampOf(*partialPath, &partial) || !partial.regular) {
        *why = "no partial output";
        return ContinueFit::kNoFit;
    }
    const std::vector<int> numbers = PieceNumbers(listing.fileNames, fileName);
    std::vector<std::uint64_t> lengths;
    std::string failedPath;
    if (!PieceLengths(folder, fileName, numbers, &lengths, &failedPath, why)) {
        return ContinueFit::kNoFit;
    }
    const int count = numbers.empty() ? 0 : numbers.back();
    const auto endsWithLast = [&](std::uint64_t pieceLength) {
        return HoldsAt(*partialPath, static_cast<std::uint64_t>(count - 1) * pieceLength,
                       folder + PieceName(count, fileName));
    };
    probe->whole = CheckWhole(numbers, lengths, partial.length, endsWithLast, &probe->plan);
    if (probe->whole) {
        return ContinueFit::kFits;
    }
    return CheckContinue(numbers, lengths, partial.length, endsWithLast, &probe->plan, why);
}
