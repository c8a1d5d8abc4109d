// A claim on a file that one program writes while others must leave it alone: a join's
// partial output. A join takes it before it first looks at the file and keeps it until the
// file has its final name, so that a second join of the same name at the same time neither
// writes into it nor takes it for the output of a join that stopped.
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

    // Claims the file at `path` without waiting.
    Outcome Claim(const std::string& path);
    void Release();

private:
    std::intptr_t m_handle = -1;  // a descriptor; unused on Windows
};

}  // namespace platform
