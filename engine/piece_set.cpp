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

ContinueFit CheckContinue(const std::vector<int>& numbers,
                          const std::vector<std::uint64_t>& lengths,
                          std::uint64_t partial,
                          const std::function<bool(std::uint64_t)>& endsWithLast,
                          ContinuedJoin* plan,
                          std::string* why) {
    if (numbers.empty()) {
        *why = "no pieces are left to join";
        return ContinueFit::kNoFit;
    }
    const int count = numbers.back();
    // The highest number missing below the last piece: every piece after it is there.
    int kept = 0;
    std::size_t first = numbers.size() - 1;  // index of piece kept + 1
    for (int expected = count; first > 0 && numbers[first - 1] == expected - 1; --expected) {
        --first;
    }
    kept = numbers[first] - 1;
    if (kept == 0) {
        return ContinueFit::kNothingMissing;
    }
    const std::vector<std::uint64_t> rest(lengths.begin() + static_cast<std::ptrdiff_t>(first),
                                          lengths.end());
    const std::uint64_t last = rest.back();
    const auto wholeLength = [&](std::uint64_t kept, std::uint64_t length, std::uint64_t* out) {
        if (length == 0 || length > UINT64_MAX / kept) {
            return false;
        }
        *out = kept * length;
        return true;
    };
    std::uint64_t pieceLength = 0;
    if (rest.size() >= 2) {
        if (const int misfit = FirstMisfit(rest)) {
            *why = "piece " + std::to_string(kept + misfit) +
                   " does not fit the pieces after it or before it";
            return ContinueFit::kNoFit;
        }
        pieceLength = rest.front();
    } else {
        // Only the last piece is left. Either the partial output holds the pieces before it
        // exactly, or it holds the last piece already, after them.
        const std::uint64_t h = static_cast<std::uint64_t>(kept);
        const bool exact = partial % h == 0 && partial / h >= last && partial > 0;
        const bool withLast = partial >= last && (partial - last) % h == 0 &&
                              (partial - last) / h >= last && partial > last &&
                              endsWithLast((partial - last) / h);
        if (exact && withLast && last > 0) {
            *why = "it cannot be told whether it holds the last piece already";
            return ContinueFit::kNoFit;
        }
        if (!exact && !withLast) {
            *why = "its length is no whole number of pieces before the last one";
            return ContinueFit::kNoFit;
        }
        pieceLength = exact ? partial / h : (partial - last) / h;
    }
    for (std::size_t i = 0; i < first; ++i) {
        if (lengths[i] != pieceLength) {
            *why = "piece " + std::to_string(numbers[i]) + " is not as long as the others";
            return ContinueFit::kNoFit;
        }
    }
    std::uint64_t keptBytes = 0;
    if (!wholeLength(static_cast<std::uint64_t>(kept), pieceLength, &keptBytes) ||
        partial < keptBytes) {
        *why = "it holds fewer than the " + std::to_string(kept) + " pieces missing";
        return ContinueFit::kNoFit;
    }
    plan->kept = kept;
    plan->count = count;
    plan->pieceLength = pieceLength;
    return ContinueFit::kFits;
}

bool CheckWhole(const std::vector<int>& numbers,
                const std::vector<std::uint64_t>& lengths,
                std::uint64_t partial,
                const std::function<bool(std::uint64_t)>& endsWithLast,
                ContinuedJoin* plan) {
    if (numbers.empty() || numbers.back() < 2) {
        return false;
    }
    const int count = numbers.back();
    std::size_t first = numbers.size() - 1;  // index of piece kept + 1
    for (int expected = count; first > 0 && numbers[first - 1] == expected - 1; --expected) {
        --first;
    }
    const int kept = numbers[first] - 1;
    const std::vector<std::uint64_t> rest(lengths.begin() + static_cast<std::ptrdiff_t>(first),
                                          lengths.end());
    const std::uint64_t last = rest.back();
    const std::uint64_t before = static_cast<std::uint64_t>(count - 1);
    if (kept == 0 || partial < last || (partial - last) % before != 0) {
        return false;
    }
    const std::uint64_t pieceLength = (partial - last) / before;
    if (pieceLength == 0 || last > pieceLength || FirstMisfit(rest) != 0 ||
        (rest.size() >= 2 && rest.front() != pieceLength)) {
        return false;
    }
    for (std::size_t i = 0; i < first; ++i) {
        if (lengths[i] != pieceLength) {
            return false;
        }
    }
    if (!endsWithLast(pieceLength)) {
        return false;
    }
    plan->kept = kept;
    plan->count = count;
    plan->pieceLength = pieceLength;
    return true;
}
