// Options and operands of the commands. Options may come before or after the operand,
// as getopt_long permutes them; an option that does not belong to the command is refused.
#include "cli/arguments.h"

#include <getopt.h>

#include <cstring>
#include <vector>

#include "cli/report.h"
#include "platform/terminal.h"
#include "sums/checksum_line.h"

namespace cli {

namespace {

constexpr std::uint64_t kUnit = 4096;
constexpr std::uint64_t kLargestPiece = std::uint64_t{4095} << 20;

// Long-only options, given values past any character.
enum : int { kDelete = 256, kNoSums, kNoVerify, kContinue, kVersion };

const option kOptions[] = {
    {"size", required_argument, nullptr, 's'},
    {"output", required_argument, nullptr, 'o'},
    {"recovery", required_argument, nullptr, 'r'},
    {"delete", no_argument, nullptr, kDelete},
    {"no-sums", no_argument, nullptr, kNoSums},
    {"no-verify", no_argument, nullptr, kNoVerify},
    {"continue", no_argument, nullptr, kContinue},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// The commands each option belongs to.
bool Belongs(int given, Command command) {
    switch (given) {
        case 's':
        case 'r':
        case kNoSums:
            return command == Command::kSplit;
        case kNoVerify:
        case kContinue:
            return command == Command::kJoin;
        case 'o':
        case kDelete:
            return command == Command::kSplit || command == Command::kJoin;
        default:
            return true;
    }
}

const option* OptionOf(int given) {
    for (const option& o : kOptions) {
        if (o.name != nullptr && o.val == given) {
            return &o;
        }
    }
    return nullptr;
}

// An option getopt_long refused, worded as glibc's getopt_long words it, whichever
// getopt_long (glibc's or MinGW's) refused it: they differ in what they return, not in
// optopt, which is 0 for a long option that names none of ours, the option's own value for
// a long option given with a value it does not take or without the value it needs, and the
// character for a short option. `word` is the argument getopt_long stepped past last.
std::string OptionError(int optopt, const char* word) {
    const std::string typed = sums::PrintableName(word);
    if (optopt == 0) {
        // As typed, value and all; the options it begins, when it begins more than one.
        const char* const after = std::strncmp(word, "--", 2) == 0 ? word + 2 : word;
        const std::string name(after, std::strcspn(after, "="));
        std::string possibilities;
        int count = 0;
        for (const option& o : kOptions) {
            if (o.name != nullptr && std::strncmp(o.name, name.c_str(), name.size()) == 0) {
                possibilities += std::string(" '--") + o.name + "'";
                ++count;
            }
        }
        return count > 1 ? "option '" + typed + "' is ambiguous; possibilities:" + possibilities
                         : "unrecognized option '" + typed + "'";
    }
    const option* known = OptionOf(optopt);
    if (known == nullptr) {
        return "invalid option -- '" +
               sums::PrintableName(std::string(1, static_cast<char>(optopt))) + "'";
    }
    if (known->has_arg == no_argument) {
        // Only a long option can be given a value.
        return std::string("option '--") + known->name + "' doesn't allow an argument";
    }
    if (std::strncmp(word, "--", 2) == 0) {
        return std::string("option '--") + known->name + "' requires an argument";
    }
    return std::string("option requires an argument -- '") + static_cast<char>(optopt) + "'";
}

}  // namespace

const char kHelpText[] =
    "Usage: secanto split FILE [-s SIZE] [-o DIR] [-r N] [--delete] [--no-sums]\n"
    "       secanto join DIR [-o DIR] [--delete] [--no-verify] [--continue]\n"
    "       secanto verify DIR\n"
    "       secanto repair DIR\n"
    "Cut a file into numbered pieces (1__NAME, 2__NAME, ...) and join them back.\n"
    "\n"
    "  split FILE       write FILE's pieces and SHA256SUMS, which lists every piece\n"
    "                   and the whole file, into DIR (default: FILE without its\n"
    "                   extension); FILE may be a pipe, read to its end\n"
    "    -s, --size SIZE  a number with K, M or G (1K = 1024 bytes; a bare number\n"
    "                     means M), a multiple of 4K from 4K to 4095M; default 1M\n"
    "    -r, --recovery N  also write recovery data (NAME.par2, NAME.volA+B.par2,\n"
    "                     PAR2 2.0) from which any N lost or damaged pieces can be\n"
    "                     rebuilt; N% is that share of the pieces, rounded up\n"
    "        --no-sums    write no SHA256SUMS\n"
    "  join DIR         join the pieces in folder DIR into a file in DIR/NAME-OF-DIR,\n"
    "                   or in the -o folder; when DIR holds pieces of several files,\n"
    "                   name one piece instead: its file's pieces are joined. With a\n"
    "                   SHA256SUMS among the pieces, each piece and the whole file\n"
    "                   are checked, and the file is named only once whole; with\n"
    "                   recovery data (*.par2) among them, missing and damaged\n"
    "                   pieces are rebuilt first, and --delete deletes it last\n"
    "        --no-verify  do not read SHA256SUMS\n"
    "        --continue   go on from the file of the joined name in the output folder,\n"
    "                     which a join with --delete left when it stopped (a join goes\n"
    "                     on from its own hidden temporary file without being asked)\n"
    "  verify DIR       check the pieces in DIR against its SHA256SUMS, or its\n"
    "                   recovery data; prints each bad one: NAME: FAILED, MISSING\n"
    "                   or NOT LISTED, and whether the recovery data can rebuild them\n"
    "  repair DIR       rebuild the missing and damaged pieces in DIR from its\n"
    "                   recovery data, each checked before it takes its name\n"
    "\n"
    "  -o, --output DIR   the folder to write into\n"
    "      --delete       delete the source (split) or the pieces (join) once their\n"
    "                     bytes are safely on disk elsewhere\n"
    "  -q, --quiet        print errors only\n"
    "  -h, --help         print this help (on Windows also /?)\n"
    "      --version      print the version\n"
    "\n"
    "Progress is shown on standard error when it is a terminal.\n"
    "Ctrl+C (or SIGTERM, SIGHUP) stops a job, with status 130. A split leaves\n"
    "FILE as it was (also with --delete), the pieces finished, perhaps a part\n"
    "of the next, and SHA256SUMS as it was. A join leaves every piece it has\n"
    "not deleted and no file of the joined name (with --continue, that file\n"
    "holds the pieces joined so far); with --delete, the bytes of the pieces\n"
    "already deleted are in the hidden file .secanto-HASH.part in the output\n"
    "folder, the pieces left follow them, and the same command goes on.\n"
    "Exit status: 0 done, 1 bad usage, 2 source error, 3 target error,\n"
    "4 verification failed (or too little recovery data), 130 interrupted.\n";

bool ParsePieceSize(const std::string& text, std::uint32_t* size) {
    std::uint64_t value = 0;
    std::size_t at = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
        if (value > kLargestPiece) {
            return false;
        }
    }
    if (at == 0 || text.size() - at > 1) {
        return false;
    }
    int shift = 20;
    if (at < text.size()) {
        switch (text[at]) {
            case 'K':
            case 'k':
                shift = 10;
                break;
            case 'M':
            case 'm':
                shift = 20;
                break;
            case 'G':
            case 'g':
                shift = 30;
                break;
            default:
                return false;
        }
    }
    const std::uint64_t bytes = value << shift;
    if (bytes < kUnit || bytes % kUnit != 0 || bytes > kLargestPiece) {
        return false;
    }
    *size = static_cast<std::uint32_t>(bytes);
    return true;
}

bool ParseRecoveryAmount(const std::string& text, RecoveryAmount* amount) {
    const bool percent = !text.empty() && text.back() == '%';
    const std::size_t digits = text.size() - (percent ? 1 : 0);
    const std::uint32_t largest = percent ? 100 : 32768;
    std::uint32_t value = 0;
    for (std::size_t at = 0; at < digits; ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
        if (value > largest) {
            return false;
        }
    }
    if (digits == 0 || value == 0) {
        return false;
    }
    amount->value = value;
    amount->percent = percent;
    return true;
}

bool ParseArguments(int argc, char** argv, Arguments* arguments) {
    // Where "/?" is the help switch, it asks for the help wherever it stands, as it does of
    // the system's own commands.
    for (int i = 1; platform::kSlashQuestionAsksHelp && i < argc; ++i) {
        if (std::strcmp(argv[i], "/?") == 0) {
            arguments->command = Command::kHelp;
            return true;
        }
    }
    // Errors are worded here, with the program's own name rather than argv[0], and the same
    // on every system.
    opterr = 0;
    bool help = false;
    bool version = false;
    std::vector<int> given;  // checked against the command once it is known
    const char* sizeText = nullptr;
    const char* recoveryText = nullptr;
    for (;;) {
        const int got = getopt_long(argc, argv, ":s:o:r:qh", kOptions, nullptr);
        if (got == -1) {
            break;
        }
        switch (got) {
            case 's':
                sizeText = optarg;
                break;
            case 'r':
                recoveryText = optarg;
                break;
            case 'o':
                if (*optarg == '\0') {
                    UsageError("the output folder is empty");
                    return false;
                }
                arguments->output = optarg;
                break;
            case kDelete:
                arguments->deleteSource = true;
                break;
            case kNoSums:
                arguments->writeSums = false;
                break;
            case kNoVerify:
                arguments->verifyJoin = false;
                break;
            case kContinue:
                arguments->continueJoin = true;
                break;
            case 'q':
                arguments->quiet = true;
                break;
            case 'h':
                help = true;
                break;
            case kVersion:
                version = true;
                break;
            default:
                // ':' or '?': which one differs between getopt_long's; optopt tells.
                UsageError(OptionError(optopt, argv[optind - 1]));
                return false;
        }
        given.push_back(got);
    }
    if (help || version) {
        arguments->command = help ? Command::kHelp : Command::kVersion;
        return true;
    }
    if (optind == argc) {
        UsageError("missing command: split, join, verify or repair");
        return false;
    }
    const std::string command = argv[optind++];
    if (command == "split") {
        arguments->command = Command::kSplit;
    } else if (command == "join") {
        arguments->command = Command::kJoin;
    } else if (command == "verify") {
        arguments->command = Command::kVerify;
    } else if (command == "repair") {
        arguments->command = Command::kRepair;
    } else {
        UsageError("unknown command '" + sums::PrintableName(command) + "'");
        return false;
    }
    for (int option : given) {
        if (!Belongs(option, arguments->command)) {
            UsageError(std::string("option '--") + OptionOf(option)->name + "' does not apply to " +
                       command);
            return false;
        }
    }
    if (optind == argc) {
        UsageError(command + ": missing " +
                   (arguments->command == Command::kSplit ? "FILE" : "DIR"));
        return false;
    }
    arguments->operand = argv[optind++];
    if (optind < argc) {
        UsageError("extra operand '" + sums::PrintableName(argv[optind]) + "'");
        return false;
    }
    if (arguments->operand.empty()) {
        UsageError(command + ": the name is empty");
        return false;
    }
    if (sizeText != nullptr && !ParsePieceSize(sizeText, &arguments->pieceSize)) {
        UsageError("invalid piece size '" + sums::PrintableName(sizeText) +
                   "': a multiple of 4K from 4K to 4095M is needed");
        return false;
    }
    if (recoveryText != nullptr && !ParseRecoveryAmount(recoveryText, &arguments->recovery)) {
        UsageError("invalid recovery amount '" + sums::PrintableName(recoveryText) +
                   "': a number of pieces from 1 to 32768, or a percentage from 1% to 100%, "
                   "is needed");
        return false;
    }
    return true;
}

}  // namespace cli
