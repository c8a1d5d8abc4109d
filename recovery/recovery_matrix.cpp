// Gauss-Jordan elimination over GF(2^16), row operations through the region kernels. The
// rows are the candidate equations with an identity beside them, so that the rows chosen as
// pivots end up holding the inverse of the square system they form. Recovery slices of
// consecutive exponents e0, e0 + 1, ... make a Vandermonde system in the lost slices'
// constants (times their e0-th powers), solved on the data in place in O(k^2) region
// operations without any matrix: the way to any number of lost slices.
#include "recovery/recovery_matrix.h"

#include <algorithm>
#include <cstring>

#include "recovery/galois_field.h"
#include "recovery/region_multiply.h"
#include "recovery/slice_constants.h"

namespace recovery {

namespace {

// Candidate equations beyond the lost count: enough to get past the rare dependent one
// without a matrix that grows with every recovery slice there is.
constexpr std::size_t kSpareEquations = 32;

// Bytes of region work between two questions to the caller.
constexpr std::uint64_t kWorkBetweenQuestions = std::uint64_t{1} << 20;

// The first exponent of a run of `count` consecutive ones among `exponents`; false when there
// is none.
bool FindRun(const std::vector<std::uint32_t>& exponents, std::size_t count, std::uint32_t* first) {
    std::vector<std::uint32_t> sorted = exponents;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::size_t run = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        run = i > 0 && sorted[i] == sorted[i - 1] + 1 ? run + 1 : 1;
        if (run >= count) {
            *first = sorted[i + 1 - count];
            return true;
        }
    }
    return false;
}

std::uint32_t LongestRun(const std::vector<std::uint32_t>& exponents) {
    std::vector<std::uint32_t> sorted = exponents;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::uint32_t longest = 0;
    std::uint32_t run = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        run = i > 0 && sorted[i] == sorted[i - 1] + 1 ? run + 1 : 1;
        longest = std::max(longest, run);
    }
    return longest;
}

}  // namespace

std::uint32_t SolvableSlices(const std::vector<std::uint32_t>& exponents) {
    const std::uint32_t all = static_cast<std::uint32_t>(exponents.size());
    return std::max(std::min(all, kMaxSolvedSlices), LongestRun(exponents));
}

SolveOutcome SolveLostSlices(const std::vector<std::uint32_t>& lost,
                             const std::vector<std::uint32_t>& exponents,
                             const KeepGoing& keepGoing,
                             Solution* solution) {
    const std::size_t k = lost.size();
    solution->exponents.clear();
    solution->inverse.clear();
    solution->constants.clear();
    if (exponents.size() < k) {
        return SolveOutcome::kNotEnough;
    }
    if (k == 0) {
        return SolveOutcome::kSolved;
    }
    std::uint32_t first = 0;
    if (FindRun(exponents, k, &first)) {
        for (std::size_t m = 0; m < k; ++m) {
            solution->exponents.push_back(first + static_cast<std::uint32_t>(m));
            solution->constants.push_back(InputSliceConstant(lost[m]));
        }
        return SolveOutcome::kSolved;
    }
    if (k > kMaxSolvedSlices) {
        return SolveOutcome::kTooLarge;
    }
    const std::size_t rows = std::min(exponents.size(), k + kSpareEquations);
    const std::size_t width = k + rows;  // coefficients, then the identity
    std::vector<std::uint16_t> matrix(rows * width, 0);
    for (std::size_t r = 0; r < rows; ++r) {
        std::uint16_t* row = &matrix[r * width];
        for (std::size_t m = 0; m < k; ++m) {
            row[m] = RecoveryCoefficient(lost[m], exponents[r]);
        }
        row[k + r] = 1;
    }
    auto bytes = [&](std::size_t r) { return reinterpret_cast<std::uint8_t*>(&matrix[r * width]); };
    std::vector<std::uint16_t> scaled(width);
    std::vector<bool> isPivot(rows, false);
    std::vector<std::size_t> pivotOf(k);
    for (std::size_t column = 0; column < k; ++column) {
        // A column costs rows * width words: about 10 ms at the largest size.
        if (keepGoing && !keepGoing()) {
            return SolveOutcome::kStopped;
        }
        std::size_t pivot = rows;
        for (std::size_t r = 0; r < rows; ++r) {
            if (!isPivot[r] && matrix[r * width + column] != 0) {
                pivot = r;
                break;
            }
        }
        if (pivot == rows) {
            return SolveOutcome::kNotEnough;
        }
        isPivot[pivot] = true;
        pivotOf[column] = pivot;
        // Scale the pivot row to a leading 1.
        const std::uint16_t inverse = gf::Inverse(matrix[pivot * width + column]);
        std::fill(scaled.begin(), scaled.end(), 0);
        MultiplyAccumulate(reinterpret_cast<std::uint8_t*>(scaled.data()), bytes(pivot), width * 2,
                           inverse);
        std::memcpy(bytes(pivot), scaled.data(), width * 2);
        for (std::size_t r = 0; r < rows; ++r) {
            const std::uint16_t factor = matrix[r * width + column];
            if (r != pivot && factor != 0) {
                MultiplyAccumulate(bytes(r), bytes(pivot), width * 2, factor);
            }
        }
    }
    // Pivot rows were only ever combined with pivot rows: their identity part, read at the
    // pivot rows' columns, is the inverse of the system those rows form.
    solution->exponents.resize(k);
    for (std::size_t j = 0; j < k; ++j) {
        solution->exponents[j] = exponents[pivotOf[j]];
    }
    solution->inverse.resize(k * k);
    for (std::size_t m = 0; m < k; ++m) {
        const std::uint16_t* row = &matrix[pivotOf[m] * width + k];
        for (std::size_t j = 0; j < k; ++j) {
            solution->inverse[m * k + j] = row[pivotOf[j]];
        }
    }
    return SolveOutcome::kSolved;
}

bool SolveConsecutive(const Solution& solution,
                      std::uint8_t* const* rows,
                      std::size_t size,
                      std::uint8_t* scratch,
                      const std::function<bool(std::uint64_t work)>& goOn) {
    // The dual Vandermonde solve (Bjorck and Pereyra) for sum over m of x_m^j z_m = b_j,
    // z_m being lost slice m times x_m^e0. Subtraction is addition here. Each division of a
    // row is kept as a factor beside it, so every step is one multiply-accumulate.
    const std::vector<std::uint16_t>& x = solution.constants;
    const std::size_t k = x.size();
    if (k == 0) {
        return true;
    }
    std::uint64_t work = 0;
    const auto step = [&](std::size_t to, std::size_t from, std::uint16_t factor) {
        MultiplyAccumulate(rows[to], rows[from], size, factor);
        work += size;
        if (work < kWorkBetweenQuestions) {
            return true;
        }
        const std::uint64_t done = work;
        work = 0;
        return goOn(done);
    };
    const std::size_t n = k - 1;
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = n; i > j; --i) {
            if (!step(i, i - 1, x[j])) {
                return false;
            }
        }
    }
    std::vector<std::uint16_t> factor(k, 1);  // row i holds the true value divided by factor[i]
    for (std::size_t j = n; j-- > 0;) {
        for (std::size_t i = j + 1; i <= n; ++i) {
            factor[i] = gf::Divide(factor[i], x[i] ^ x[i - j - 1]);
        }
        for (std::size_t i = j; i < n; ++i) {
            if (!step(i, i + 1, gf::Divide(factor[i + 1], factor[i]))) {
                return false;
            }
        }
    }
    const std::uint32_t first = solution.exponents.front();
    for (std::size_t m = 0; m < k; ++m) {
        const std::uint16_t scale = gf::Divide(factor[m], gf::Power(x[m], first));
        if (scale != 1) {
            std::memset(scratch, 0, size);
            MultiplyAccumulate(scratch, rows[m], size, scale);
            std::memcpy(rows[m], scratch, size);
        }
    }
    return goOn(work);
}

}  // namespace recovery
