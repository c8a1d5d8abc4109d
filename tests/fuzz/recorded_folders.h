// The folder layer of the fuzz build: Windows separators, names compared byte for byte, and
// folders recorded instead of made, so that a folder chain can be compared with the one
// expected.
#pragma once

#include <string>
#include <vector>

// Every path handed to platform::CreateFolder since the last clear, in call order.
std::vector<std::string>& RecordedFolders();
