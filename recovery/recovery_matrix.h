// The equations that give back lost input slices: each recovery slice at hand is the sum of
// every input slice times its coefficient; with the known slices' share taken off, the lost
// slices are what solves a square system over GF(2^16).
#pragma once

#include <cstdint>
#include <vector>

namespace recovery {

// The most lost slices solved at once: the matrix then takes about 64 MiB.
constexpr std::uint32_t kMaxSolvedSlices = 4096;

struct Solution {
    // The exponents of the recovery slices the solution reads, one per lost slice.
    std::vector<std::uint32_t> exponents;
    // Row-major, lost slices by exponents: lost slice m is the sum over j of
    // inverse[m * count + j] times (recovery slice of exponents[j] minus the known slices' share).
    std::vector<std::uint16_t> inverse;
};

enum class SolveOutcome {
    kSolved,
    kNotEnough,  // fewer independent recovery slices than lost ones
    kTooLarge,   // more lost slices than kMaxSolvedSlices
};

// `lost` are input slice indices, `exponents` those of the recovery slices at hand (distinct,
// below 65535). Takes as many exponents as there are lost slices, skipping any whose equation
// depends on those taken before.
SolveOutcome SolveLostSlices(const std::vector<std::uint32_t>& lost,
                             const std::vector<std::uint32_t>& exponents,
                             Solution* solution);

}  // namespace recovery
