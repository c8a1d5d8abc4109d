// secanto, the command line: split a file into numbered pieces, join them back, verify
// them and rebuild lost ones, over the same engine as the dialog.
#include <cstdio>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/report.h"
#include "platform/interrupt.h"
#include "platform/system_error.h"

namespace {

int Run(int argc, char** argv) {
    cli::Arguments arguments;
    if (!cli::ParseArguments(argc, argv, &arguments)) {
        return cli::kExitUsage;
    }
    int status = cli::kExitOk;
    switch (arguments.command) {
        case cli::Command::kHelp:
            cli::Print(stdout, cli::kHelpText);
            break;
        case cli::Command::kVersion:
            cli::Print(stdout, "secanto " SECANTO_VERSION "\n");
            break;
        default:
            if (!platform::CatchInterrupts()) {
                // Without the catch an interrupt still ends the process, and the jobs'
                // order of writes and deletions keeps the data whole; only the clean stop
                // is lost.
                cli::ReportLine("cannot catch interrupts: " + platform::LastSystemError());
            }
            status = arguments.command == cli::Command::kSplit    ? cli::SplitCommand(arguments)
                     : arguments.command == cli::Command::kJoin   ? cli::JoinCommand(arguments)
                     : arguments.command == cli::Command::kRepair ? cli::RepairCommand(arguments)
                                                                  : cli::VerifyCommand(arguments);
            platform::WorkStopped();
            break;
    }
    // What went to standard output must have arrived, or the status says so.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || cli::StandardOutputFailed()) {
        cli::ReportError("standard output", platform::LastSystemError());
        if (status == cli::kExitOk) {
            status = cli::kExitTarget;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    return Run(argc, argv);
}
