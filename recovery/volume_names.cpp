// Volume plans and names.
#include "recovery/volume_names.h"

#include <algorithm>

namespace recovery {

namespace {

std::string Padded(std::uint32_t value, std::size_t digits) {
    std::string text = std::to_string(value);
    return std::string(digits > text.size() ? digits - text.size() : 0, '0') + text;
}

}  // namespace

std::vector<VolumePlan> PlanVolumes(std::uint32_t recoverySlices) {
    std::vector<VolumePlan> plan;
    std::uint32_t next = 0;
    for (std::uint32_t count = 1; next < recoverySlices; count *= 2) {
        const std::uint32_t take = std::min(count, recoverySlices - next);
        plan.push_back({next, take});
        next += take;
    }
    return plan;
}

std::string VolumePath(const std::string& base,
                       const VolumePlan& volume,
                       const std::vector<VolumePlan>& all) {
    std::uint32_t total = 0;
    std::uint32_t largest = 0;
    for (const VolumePlan& v : all) {
        total += v.count;
        largest = std::max(largest, v.count);
    }
    return base + ".vol" + Padded(volume.firstExponent, std::to_string(total).size()) + "+" +
           Padded(volume.count, std::to_string(largest).size()) + ".par2";
}

}  // namespace recovery
