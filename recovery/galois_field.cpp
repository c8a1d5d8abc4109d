// Log and exponent tables of GF(2^16), made once on first use by repeated doubling.
#include "recovery/galois_field.h"

#include <vector>

namespace recovery {
namespace gf {

namespace {

struct Tables {
    Tables() : log(65536), exp(2 * kOrder) {
        std::uint32_t value = 1;
        for (std::uint32_t n = 0; n < kOrder; ++n) {
            exp[n] = static_cast<std::uint16_t>(value);
            exp[n + kOrder] = static_cast<std::uint16_t>(value);
            log[value] = static_cast<std::uint16_t>(n);
            value <<= 1;
            if (value & 0x10000) {
                value ^= kPolynomial;
            }
        }
    }

    std::vector<std::uint16_t> log;
    // Twice the period, so that the sum of two logarithms needs no reduction.
    std::vector<std::uint16_t> exp;
};

const Tables& TheTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

std::uint16_t Log(std::uint16_t value) {
    return TheTables().log[value];
}

std::uint16_t Exp(std::uint32_t exponent) {
    return TheTables().exp[exponent % kOrder];
}

std::uint16_t Multiply(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const Tables& t = TheTables();
    return t.exp[t.log[a] + t.log[b]];
}

std::uint16_t Divide(std::uint16_t a, std::uint16_t b) {
    if (a == 0) {
        return 0;
    }
    const Tables& t = TheTables();
    return t.exp[t.log[a] + kOrder - t.log[b]];
}

std::uint16_t Inverse(std::uint16_t a) {
    return Divide(1, a);
}

std::uint16_t Power(std::uint16_t a, std::uint32_t exponent) {
    if (exponent == 0) {
        return 1;
    }
    if (a == 0) {
        return 0;
    }
    const std::uint64_t product = std::uint64_t{TheTables().log[a]} * exponent;
    return TheTables().exp[product % kOrder];
}

}  // namespace gf
}  // namespace recovery
