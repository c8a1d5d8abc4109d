// Gauss-Jordan elimination over GF(2^16), row operations through the region kernels. The
// rows are the candidate equations with an identity beside them, so that the rows chosen as
// pivots end up holding the inverse of the square system they form.
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

}  // namespace

SolveOutcome SolveLostSlices(const std::vector<std::uint32_t>& lost,
                             const std::vector<std::uint32_t>& exponents,
                             Solution* solution) {
    const std::size_t k = lost.size();
    solution->exponents.clear();
    solution->inverse.clear();
    if (k > kMaxSolvedSlices) {
        return SolveOutcome::kTooLarge;
    }
    if (exponents.size() < k) {
        return SolveOutcome::kNotEnough;
    }
    if (k == 0) {
        return SolveOutcome::kSolved;
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

}  // namespace recovery
