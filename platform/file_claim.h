// A claim on a file that one program writes while others must leave it alone: a join's
// partial output, a split's first piece. A join takes it before it first looks at its output
// and keeps it until the file has its final name, so that a second join of the same name at
// the same time neither writes into it nor takes it for the output of a join that stopped;
// a split keeps its first piece's until it ends, and a join reading the pieces shares it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class FileClaim {
public:
    enum class Outcome {
        kClaimed,  // the file at the path is this program's until Release
        kTaken,    // another program holds it
        kGone,     // no file is at the path (any more)
        kFailed,   // the system's error says why
    };

    FileClaim() = default;
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;
    ~FileClaim() { Release(); }

    // What the claim is for: writing keeps out every other claim; reading keeps out only
    // writing, so that several programs may read at once.
    enum class Use { kWrite, kRead };

    // Claims the file at `path` without waiting.
    Outcome Claim(const std::string& path, Use use = Use::kWrite);
    void Release();

private:
    std::intptr_t m_handle = -1;  // a descriptor, or on Windows the claim's record
};

}  // namespace platform
