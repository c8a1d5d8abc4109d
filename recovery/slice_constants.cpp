// The table of input slice logarithms, made once on first use.
#include "recovery/slice_constants.h"

#include <vector>

#include "recovery/galois_field.h"

namespace recovery {

namespace {

const std::vector<std::uint16_t>& Logs() {
    static const std::vector<std::uint16_t> logs = [] {
        std::vector<std::uint16_t> found;
        found.reserve(kMaxInputSlices);
        for (std::uint32_t n = 1; found.size() < kMaxInputSlices; ++n) {
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) {
                found.push_back(static_cast<std::uint16_t>(n));
            }
        }
        return found;
    }();
    return logs;
}

}  // namespace

std::uint16_t InputSliceLog(std::uint32_t index) {
    return Logs()[index];
}

std::uint16_t InputSliceConstant(std::uint32_t index) {
    return gf::Exp(Logs()[index]);
}

std::uint16_t RecoveryCoefficient(std::uint32_t index, std::uint32_t exponent) {
    return gf::Exp(
        static_cast<std::uint32_t>(std::uint64_t{Logs()[index]} * exponent % gf::kOrder));
}

}  // namespace recovery
