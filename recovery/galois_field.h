// Arithmetic in GF(2^16) with the generator polynomial x^16 + x^12 + x^3 + x + 1 (0x1100B),
// the field PAR2 computes its recovery data in: addition is XOR, products go through
// logarithm and exponent tables built once.
#pragma once

#include <cstdint>

namespace recovery {
namespace gf {

constexpr std::uint32_t kPolynomial = 0x1100B;
// The multiplicative group's order: 2 generates all non-zero elements.
constexpr std::uint32_t kOrder = 65535;

// log2 of a non-zero element, in [0, 65535).
std::uint16_t Log(std::uint16_t value);
// 2 raised to `exponent`, for any exponent (taken modulo 65535).
std::uint16_t Exp(std::uint32_t exponent);

std::uint16_t Multiply(std::uint16_t a, std::uint16_t b);
// a / b; b must not be 0.
std::uint16_t Divide(std::uint16_t a, std::uint16_t b);
// 1 / a; a must not be 0.
std::uint16_t Inverse(std::uint16_t a);
// a raised to `exponent`; 0^0 is 1.
std::uint16_t Power(std::uint16_t a, std::uint32_t exponent);

}  // namespace gf
}  // namespace recovery
