// How recovery slices are spread over files and what the files are called: NAME.par2 holds
// no recovery slice, NAME.volA+B.par2 holds B slices from exponent A, the counts doubling
// from 1 up to what is left. A is zero-padded to the digits of the total, B to those of the
// largest count, so that the names sort and line up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace recovery {

struct VolumePlan {
    std::uint32_t firstExponent;
    std::uint32_t count;
};

std::vector<VolumePlan> PlanVolumes(std::uint32_t recoverySlices);

// `base` is the index file's path without ".par2".
std::string VolumePath(const std::string& base,
                       const VolumePlan& volume,
                       const std::vector<VolumePlan>& all);

}  // namespace recovery
