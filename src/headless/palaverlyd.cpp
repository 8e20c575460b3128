// palaverlyd [--serve] [N]: the headless station. Same settings, daily log file and
// single-instance rule as the desktop program; driven through standard input and output, or
// with --serve a service that reads no input and runs until it is signalled.

#include "cli/ProgramOptions.h"
#include "headless/CHeadlessStation.h"
#include "hub/StationSetup.h"
#include "sys/CInstanceLock.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    using namespace palaverly;
    const ProgramOptions options = ParseProgramOptions(argc, argv, ProgramKind::Headless);
    if (options.action != ProgramAction::Run) {
        std::vector<std::string> commands;
        for (const CHeadlessStation::Command& c : CHeadlessStation::Commands())
            commands.push_back(std::string(c.name) +
                               (c.argument.empty() ? "" : " " + std::string(c.argument)));
        return PrintProgramInformation(ProgramKind::Headless, options.action, commands);
    }
    CInstanceLock lock(CInstanceLock::DefaultFolder());
    if (!lock.Acquired()) {
        // A lock file that cannot be used is said; a running station is not.
        if (!lock.Problem().empty())
            std::fprintf(stderr, "msg: %s\n", lock.Problem().c_str());
        return 255;
    }

    StationEnvironment env = SystemEnvironment(options.port);
    CHeadlessStation station(std::move(env), options.serve ? -1 : STDIN_FILENO, STDOUT_FILENO);
    return station.Run();
}
