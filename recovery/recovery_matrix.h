// The equations that give back lost input slices: each recovery slice at hand is the sum of
// every input slice times its coefficient; with the known slices' share taken off, the lost
// slices are what solves a square system over GF(2^16).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "recovery/keep_going.h"

namespace recovery {

// The most lost slices solved through an inverse matrix, which then takes about 64 MiB and
// a few seconds. More are solved only from recovery slices of consecutive exponents.
constexpr std::uint32_t kMaxSolvedSlices = 4096;

struct Solution {
    // The exponents of the recovery slices the solution reads, one per lost slice.
    std::vector<std::uint32_t> exponents;
    // Row-major, lost slices by exponents: lost slice m is the sum over j of
    // inverse[m * count + j] times (recovery slice of exponents[j] minus the known slices' share).
    // Empty when the exponents are consecutive: then the system is solved on the data itself
    // (SolveConsecutive), with no matrix of any size.
    std::vector<std::uint16_t> inverse;
    // For consecutive exponents: the constant of each lost slice.
    std::vector<std::uint16_t> constants;
};

enum class SolveOutcome {
    kSolved,
    kNotEnough,  // fewer independent recovery slices than lost ones
    kTooLarge,   // more than kMaxSolvedSlices lost, and not as many consecutive exponents
    kStopped,    // the caller said to stop
};

// `lost` are input slice indices, `exponents` those of the recovery slices at hand (distinct,
// below 65535). Takes consecutive exponents where there are as many as lost slices; else as
// many exponents as there are lost slices, in the order given, skipping any whose equation
// depends on those taken before. Asks `keepGoing` (may be null) every few milliseconds.
SolveOutcome SolveLostSlices(const std::vector<std::uint32_t>& lost,
                             const std::vector<std::uint32_t>& exponents,
                             const KeepGoing& keepGoing,
                             Solution* solution);

// The most lost slices recovery slices of these exponents can rebuild.
std::uint32_t SolvableSlices(const std::vector<std::uint32_t>& exponents);

// For a solution with no inverse: `rows[j]` holds `size` bytes (an even count) of the
// recovery slice of exponents[j] minus the known slices' share; afterwards rows[m] holds
// those bytes of lost slice m. `scratch` has room for `size` bytes. `goOn` is told the bytes
// worked on since it was last called and stops the work when it returns false.
bool SolveConsecutive(const Solution& solution,
                      std::uint8_t* const* rows,
                      std::size_t size,
                      std::uint8_t* scratch,
                      const std::function<bool(std::uint64_t work)>& goOn);

}  // namespace recovery
