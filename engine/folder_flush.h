// Making new folder entries durable before the data they hold replaces data elsewhere.
#pragma once

#include <string>
#include <vector>

// Flushes the entries of `target` and of every folder in `grown` (as CreateFolderChain
// returned it), so that a crash cannot take a new folder, or a new file in it, away once
// the source it replaces is gone. False when any flush fails.
bool FlushFolders(const std::string& target, const std::vector<std::string>& grown);
