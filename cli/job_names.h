// Every name a job will make, checked against the folder it goes in (platform::NameFits: the
// length of a name, and on Windows of a path) before the job makes anything: a name that
// does not fit would otherwise fail only once the others were made, as a split's recovery
// files after every piece and SHA256SUMS, or a pipe read to its end.
#pragma once

#include <string>
#include <vector>

namespace cli {

// `name` and the temporary name it is written under before it takes its own (recovery files,
// rebuilt pieces), added to `names`.
void AddWithTemporary(const std::string& name, std::vector<std::string>* names);

// True when each of `names` can be made in `folder`. Else says which cannot, as a path in
// `folder`, which is `role` ("the target folder"), and returns false: the command then ends
// with status 1, having made nothing.
bool NamesFit(const std::string& folder,
              const std::vector<std::string>& names,
              const std::string& role);

}  // namespace cli
