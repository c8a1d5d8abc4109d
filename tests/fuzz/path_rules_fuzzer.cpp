// libFuzzer target for the path rules that must step over double-byte characters: the
// separator, "__", '.' and ':' searches, the trailing separator, the folder chain, the
// joined file's name and piece numbers, a path's final component and the two proposed
// target folders. Built natively with code page 936 stepping (lead bytes 0x81 to 0xFE)
// and '\' as separator ('/' separating too in the folder chain and the proposed folders, as
// on Windows), and checked against rules worked out on the characters that
// iconv's CP936 decoder finds, so the rules under test and the reference share no code.
#include <iconv.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/job_paths.h"
#include "engine/target_rules.h"
#include "platform/win32/final_component.h"
#include "tests/fuzz/recorded_folders.h"

namespace {

struct Char {
    std::size_t at;  // byte offset
    std::size_t size;
    char32_t code;
};

using Chars = std::vector<Char>;

// Splits `text` into characters with iconv; false when it is not valid CP936.
bool Decode(const std::string& text, Chars* chars) {
    static iconv_t decoder = iconv_open("UTF-32LE", "CP936");
    if (decoder == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "iconv has no CP936 decoder\n");
        std::abort();
    }
    iconv(decoder, nullptr, nullptr, nullptr, nullptr);
    chars->clear();
    std::size_t at = 0;
    while (at < text.size()) {
        char* in = const_cast<char*>(text.data() + at);
        std::size_t inLeft = text.size() - at;
        unsigned char code[4];
        char* out = reinterpret_cast<char*>(code);
        std::size_t outLeft = sizeof code;
        iconv(decoder, &in, &inLeft, &out, &outLeft);
        const std::size_t used = text.size() - at - inLeft;
        if (used == 0 || outLeft != 0) {
            return false;
        }
        chars->push_back({at, used,
                          static_cast<char32_t>(code[0] | code[1] << 8 | code[2] << 16 |
                                                static_cast<std::uint32_t>(code[3]) << 24)});
        at += used;
    }
    return true;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char digits[4];
    for (unsigned char b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", b);
        out += digits;
    }
    return out;
}

[[noreturn]] void Fail(const std::string& input,
                       const char* rule,
                       const std::string& got,
                       const std::string& want) {
    std::fprintf(stderr, "%s differs for input %s\n  got  %s\n  want %s\n", rule,
                 Hex(input).c_str(), Hex(got).c_str(), Hex(want).c_str());
    std::abort();
}

void Expect(const std::string& input,
            const char* rule,
            const std::string& got,
            const std::string& want) {
    if (got != want) {
        Fail(input, rule, got, want);
    }
}

// --- The reference, on decoded characters. ---

// Byte offsets where the characters `needle` start, overlapping matches included.
std::vector<std::size_t> Matches(const Chars& chars, const std::u32string& needle) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i + needle.size() <= chars.size(); ++i) {
        bool same = true;
        for (std::size_t k = 0; k < needle.size() && same; ++k) {
            same = chars[i + k].code == needle[k];
        }
        if (same) {
            found.push_back(chars[i].at);
        }
    }
    return found;
}

// Index of the last character that is one of `codes` at or after character `from`, or -1.
long LastOf(const Chars& chars, const std::u32string& codes, std::size_t from = 0) {
    long last = -1;
    for (std::size_t i = from; i < chars.size(); ++i) {
        if (codes.find(chars[i].code) != std::u32string::npos) {
            last = static_cast<long>(i);
        }
    }
    return last;
}

// The characters [from, to) of `text` as bytes.
std::string Span(const std::string& text, const Chars& chars, std::size_t from, std::size_t to) {
    if (from >= to) {
        return std::string();
    }
    return text.substr(chars[from].at, chars[to - 1].at + chars[to - 1].size - chars[from].at);
}

std::size_t TrimmedEnd(const Chars& chars, std::size_t end, const std::u32string& codes) {
    while (end > 0 && codes.find(chars[end - 1].code) != std::u32string::npos) {
        --end;
    }
    return end;
}

// Either separator, as Windows takes either.
const char32_t kSeparators[] = U"\\/";

std::string ReferenceSplitTarget(const std::string& path, const Chars& chars) {
    const long separator = LastOf(chars, kSeparators);
    const long dot = LastOf(chars, U".", static_cast<std::size_t>(separator + 1));
    return dot < 0 ? std::string() : Span(path, chars, 0, static_cast<std::size_t>(dot));
}

std::string ReferenceJoinTarget(const std::string& path, const Chars& chars) {
    const std::size_t end = TrimmedEnd(chars, chars.size(), kSeparators);
    const Chars kept(chars.begin(), chars.begin() + static_cast<long>(end));
    const long separator = LastOf(kept, kSeparators);
    std::string leaf = Span(path, chars, static_cast<std::size_t>(separator + 1), end);
    std::string target = Span(path, chars, 0, end) + "\\" + leaf;
    Chars targetChars;
    Decode(target, &targetChars);
    return Span(target, targetChars, 0, TrimmedEnd(targetChars, targetChars.size(), U":"));
}

// The piece number that a name made for the text after its first "__" carries: the text
// before it when that is a decimal from 1 to INT_MAX without leading zeros, else 0.
long ReferencePieceNumber(const std::string& prefix) {
    if (prefix.empty() || prefix.size() > 10 || prefix[0] == '0') {
        return 0;
    }
    for (char c : prefix) {
        if (c < '0' || c > '9') {
            return 0;
        }
    }
    const long long value = std::stoll(prefix);
    return value <= INT_MAX ? static_cast<long>(value) : 0;
}

// --- The rules under test. ---

// The first match of `needle` at or after each of `starts`, "-" for none.
std::string FirstFound(const std::string& path,
                       const std::string& needle,
                       const std::vector<std::size_t>& starts) {
    std::string out;
    for (std::size_t from : starts) {
        const std::size_t at = FindInPath(path, needle, from);
        out += at == std::string::npos ? "-," : std::to_string(at) + ",";
    }
    return out;
}

std::string FirstMatch(const std::vector<std::size_t>& matches,
                       const std::vector<std::size_t>& starts) {
    std::string out;
    for (std::size_t from : starts) {
        std::size_t at = std::string::npos;
        for (std::size_t m : matches) {
            if (m >= from) {
                at = m;
                break;
            }
        }
        out += at == std::string::npos ? "-," : std::to_string(at) + ",";
    }
    return out;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) {
        out += part;
        out += '\n';
    }
    return out;
}

void CheckAll(const std::string& path) {
    // Searches start at the beginning, inside the text (possibly inside a character) and
    // past its end; the folder chain below walks every separator.
    std::uint32_t hash = 2166136261u;
    for (unsigned char b : path) {
        hash = (hash ^ b) * 16777619u;
    }
    const std::vector<std::size_t> starts = {0, hash % (path.size() + 1), path.size() / 2,
                                             path.size() + 1};

    // Run every rule first, so that memory faults show for any input, valid or not.
    const std::string markers = FirstFound(path, "__", starts);
    const std::string dots = FirstFound(path, ".", starts);
    const std::string colons = FirstFound(path, ":", starts);
    const bool endsWithSeparator = EndsWithSeparator(path);
    std::string appended = path;
    AppendSeparator(&appended);
    RecordedFolders().clear();
    CreateFolderChain(path);
    const std::vector<std::string> folders = RecordedFolders();
    std::string afterMarker;
    const bool hasMarker = NameAfterMarker(path, &afterMarker);
    int number = 0;
    const bool isPiece = hasMarker && ParsePieceNumber(path, afterMarker, &number);
    const std::string finalComponent = platform::FinalComponent(path);
    const std::string splitTarget = SplitTargetFor(path);
    const std::string joinTarget = JoinTargetFor(path);

    Chars chars;
    if (!Decode(path, &chars)) {
        return;  // not a CP936 string: no path the system hands over looks like it
    }

    Expect(path, "\"__\" search", markers, FirstMatch(Matches(chars, U"__"), starts));
    Expect(path, "'.' search", dots, FirstMatch(Matches(chars, U"."), starts));
    Expect(path, "':' search", colons, FirstMatch(Matches(chars, U":"), starts));

    const bool wantEnds = !chars.empty() && chars.back().code == U'\\';
    Expect(path, "trailing separator", endsWithSeparator ? "yes" : "no", wantEnds ? "yes" : "no");
    Expect(path, "appended separator", appended, wantEnds ? path : path + "\\");

    std::vector<std::size_t> separators = Matches(chars, U"\\");
    for (std::size_t at : Matches(chars, U"/")) {
        separators.push_back(at);
    }
    std::sort(separators.begin(), separators.end());
    std::vector<std::string> wantFolders;
    for (std::size_t at : separators) {
        if (at > 0) {
            wantFolders.push_back(path.substr(0, at));
        }
    }
    wantFolders.push_back(path);
    Expect(path, "folder chain", Joined(folders), Joined(wantFolders));

    const std::vector<std::size_t> wantMarkers = Matches(chars, U"__");
    Expect(path, "name after \"__\"", hasMarker ? "(" + afterMarker : "none",
           wantMarkers.empty() ? "none" : "(" + path.substr(wantMarkers.front() + 2));
    if (!wantMarkers.empty()) {
        const long wantNumber = ReferencePieceNumber(path.substr(0, wantMarkers.front()));
        Expect(path, "piece number", isPiece ? std::to_string(number) : "none",
               wantNumber > 0 ? std::to_string(wantNumber) : "none");
    }

    const long lastStop = LastOf(chars, U"\\/:");
    Expect(path, "final component", finalComponent,
           Span(path, chars, static_cast<std::size_t>(lastStop + 1), chars.size()));
    Expect(path, "split target", splitTarget, ReferenceSplitTarget(path, chars));
    Expect(path, "join target", joinTarget, ReferenceJoinTarget(path, chars));

    // A piece name made for this text as a file name reads back to its number.
    for (int made : {1, 10, INT_MAX, static_cast<int>(hash % INT_MAX) + 1}) {
        int read = 0;
        const bool parsed = ParsePieceNumber(PieceName(made, path), path, &read);
        Expect(path, "piece name read back", parsed ? std::to_string(read) : "none",
               std::to_string(made));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckAll(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
