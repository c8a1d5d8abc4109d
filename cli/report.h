// What secanto says on standard error, and the exit statuses scripts test.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace cli {

enum ExitStatus : int {
    kExitOk = 0,
    kExitUsage = 1,   // bad usage or argument; nothing was made
    kExitSource = 2,  // a source missing, unreadable or incomplete
    kExitTarget = 3,  // a target could not be written
    kExitVerify = 4,  // bytes differ from their SHA256SUMS line
    kExitInterrupted = 130,
};

// Writes `text` to `stream` (standard output or standard error) in one go, as the terminal
// shows it (platform::WriteText). A failure on standard output is remembered.
void Print(std::FILE* stream, const std::string& text);
// True once something could not be written to standard output.
bool StandardOutputFailed();

// `path` as one word of a secanto command for the shell a user of this system types it into:
// as it is when it holds nothing a shell treats specially, else quoted (POSIX sh: '...', or
// $'...' for control characters; Windows: cmd.exe's "..."); one that begins with '-' in the
// current folder (./-x), so that it is not taken for an option.
std::string ShellWord(const std::string& path);

// "secanto: PATH: reason", with PATH escaped as sha256sum escapes names (a newline or a
// backslash in it cannot break the line or be mistaken); `path` is given as it is.
void ReportError(const std::string& path, const std::string& reason);

// "secanto: TEXT". Names in TEXT are escaped by the caller (sums::PrintableName).
void ReportLine(const std::string& text);

// "1 piece", "3 pieces": the count and the word that fits it.
std::string CountOf(std::size_t count, const char* one, const char* many);

// "secanto: TEXT", then "Try 'secanto --help'."; returns kExitUsage.
int UsageError(const std::string& text);
// "secanto: PATH: reason" as ReportError, then the hint; returns kExitUsage.
int UsageError(const std::string& path, const std::string& reason);

}  // namespace cli
