#include "sums/finding.h"

#include "engine/job_paths.h"

namespace sums {

const char* StatusWords(Finding::Kind kind) {
    switch (kind) {
        case Finding::Kind::kMissing:
            return "MISSING";
        case Finding::Kind::kNotListed:
            return "NOT LISTED";
        case Finding::Kind::kUnreadable:
            return "FAILED open or read";
        default:
            return "FAILED";
    }
}

std::vector<Finding> CompareNumbers(const std::string& fileName,
                                    const std::map<int, std::string>& listed,
                                    const std::vector<int>& present) {
    std::vector<Finding> findings;
    auto add = [&](Finding::Kind kind, int number) {
        Finding finding;
        finding.kind = kind;
        finding.piece = number;
        finding.name = PieceName(number, fileName);
        findings.push_back(finding);
    };
    auto next = listed.begin();
    auto here = present.begin();
    while (next != listed.end() || here != present.end()) {
        if (here == present.end() || (next != listed.end() && next->first < *here)) {
            add(Finding::Kind::kMissing, next->first);
            ++next;
        } else if (next == listed.end() || *here < next->first) {
            add(Finding::Kind::kNotListed, *here);
            ++here;
        } else {
            ++next;
            ++here;
        }
    }
    return findings;
}

}  // namespace sums
