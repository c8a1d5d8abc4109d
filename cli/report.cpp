// Messages on standard error. Each goes out in one write, so that lines of two programs
// sharing a terminal or a log do not mix.
#include "cli/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/file_system.h"
#include "platform/terminal.h"
#include "sums/checksum_line.h"

namespace cli {

namespace {

const char kHint[] = "Try 'secanto --help'.\n";

bool g_outputFailed = false;

// Quoted for cmd.exe: inside "..." only '%' still expands (an environment variable's name
// between two), so each one stands outside the quotes, escaped. Windows names hold no '"'.
std::string CmdWord(const std::string& word) {
    std::string quoted = "\"";
    for (char c : word) {
        quoted += c == '%' ? std::string("\"^%\"") : std::string(1, c);
    }
    return quoted + "\"";
}

// Quoted for a POSIX shell: '...' takes every byte as it is but a quote; control characters
// would break the message's line, so a word with one is written $'...', with escapes.
std::string ShWord(const std::string& word) {
    const bool control = std::any_of(word.begin(), word.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    if (!control) {
        std::string quoted = "'";
        for (char c : word) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    }
    std::string quoted = "$'";
    for (char c : word) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\'' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace

void Print(std::FILE* stream, const std::string& text) {
    if (!platform::WriteText(stream, text) && stream == stdout) {
        g_outputFailed = true;
    }
}

bool StandardOutputFailed() {
    return g_outputFailed;
}

std::string ShellWord(const std::string& path) {
    const bool windows = platform::kPathSeparator == '\\';
    // A name that begins with '-' would be taken for an option.
    const std::string word =
        !path.empty() && path[0] == '-' ? (windows ? ".\\" : "./") + path : path;
    // Characters no shell of either kind treats specially; bytes of other characters (UTF-8
    // or a double-byte code page) are quoted, which costs nothing and keeps them whole.
    static const char kPlain[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-+./:@";
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [&](char c) {
        return (c != '\0' && std::strchr(kPlain, c) != nullptr) || (windows && c == '\\');
    });
    if (plain) {
        return word;
    }
    return windows ? CmdWord(word) : ShWord(word);
}

void ReportLine(const std::string& text) {
    Print(stderr, "secanto: " + text + "\n");
}

void ReportError(const std::string& path, const std::string& reason) {
    ReportLine(sums::PrintableName(path) + ": " + reason);
}

std::string CountOf(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

int UsageError(const std::string& text) {
    ReportLine(text);
    Print(stderr, kHint);
    return kExitUsage;
}

int UsageError(const std::string& path, const std::string& reason) {
    ReportError(path, reason);
    Print(stderr, kHint);
    return kExitUsage;
}

}  // namespace cli
