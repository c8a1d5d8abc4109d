#include "engine/piece_set.h"

#include <algorithm>

#include "engine/job_paths.h"

std::vector<int> PieceNumbers(const std::vector<std::string>& names, const std::string& fileName) {
    std::vector<int> numbers;
    for (const std::string& name : names) {
        int number = 0;
        if (ParsePieceNumber(name, fileName, &number)) {
            numbers.push_back(number);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

int FirstMissingPiece(const std::vector<int>& numbers) {
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (numbers[i] != static_cast<int>(i + 1)) {
            return static_cast<int>(i + 1);
        }
    }
    return numbers.empty() ? 1 : 0;
}

int FirstMisfit(const std::vector<std::uint64_t>& lengths) {
    const std::size_t count = lengths.size();
    if (count < 2) {
        return 0;
    }
    if (lengths.front() == 0) {
        return 1;
    }
    for (std::size_t i = 1; i + 1 < count; ++i) {
        if (lengths[i] != lengths.front()) {
            return static_cast<int>(i + 1);
        }
    }
    return lengths.back() > lengths.front() ? static_cast<int>(count) : 0;
}
