// The helpers, over the product's own file layer.
#include "tests/recovery/recovery_support.h"

#include <gtest/gtest.h>

#include "engine/job_paths.h"

namespace recovery_test {

bool IsPiece(const std::string& name) {
    std::string file;
    int number = 0;
    return NameAfterMarker(name, &file) && ParsePieceNumber(name, file, &number);
}

std::vector<recovery::PieceFile> MakePieces(const TempFolder& dir,
                                            const std::string& file,
                                            const std::vector<std::size_t>& lengths) {
    std::vector<recovery::PieceFile> pieces;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const std::string name = std::to_string(i + 1) + "__" + file;
        WriteWholeFile(dir / name, Pattern(lengths[i], static_cast<unsigned>(i + 7)));
        pieces.push_back({dir / name, name});
    }
    return pieces;
}

recovery::Status Create(const TempFolder& dir,
                        const std::vector<recovery::PieceFile>& pieces,
                        std::uint32_t count,
                        std::uint64_t sliceSize) {
    recovery::CreateRequest request;
    request.pieces = pieces;
    request.indexPath = dir / "set.par2";
    request.recoverySlices = count;
    request.sliceSize = sliceSize;
    recovery::CreateResult result;
    return recovery::CreateRecoveryFiles(request, recovery::KeepGoing(), &result);
}

recovery::SetReport ScanOne(const TempFolder& dir) {
    recovery::ScanResult scan;
    const recovery::Status status =
        recovery::ScanFolder(dir.Path(), IsPiece, recovery::KeepGoing(), &scan);
    EXPECT_TRUE(status.Ok()) << status.reason;
    EXPECT_EQ(scan.sets.size(), 1u);
    return scan.sets.empty() ? recovery::SetReport() : scan.sets.front();
}

std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : ListNames(folder)) {
        files.push_back({name, ReadWholeFile(folder + name)});
    }
    return files;
}

}  // namespace recovery_test
