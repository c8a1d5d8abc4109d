// The constants PAR2 gives its input slices: the i-th is 2^n for the i-th exponent n whose
// power of 2 has the full order 65535 (n not divisible by 3, 5, 17 or 257). Only these keep
// every square set of recovery equations with consecutive exponents solvable.
#pragma once

#include <cstdint>

namespace recovery {

// The most input slices a set may have: the count of usable constants.
constexpr std::uint32_t kMaxInputSlices = 32768;

// log2 of the constant of input slice `index` (< kMaxInputSlices).
std::uint16_t InputSliceLog(std::uint32_t index);

// The constant of input slice `index` (< kMaxInputSlices).
std::uint16_t InputSliceConstant(std::uint32_t index);

// What input slice `index` is multiplied by in the recovery slice of `exponent`:
// its constant raised to that exponent.
std::uint16_t RecoveryCoefficient(std::uint32_t index, std::uint32_t exponent);

}  // namespace recovery
