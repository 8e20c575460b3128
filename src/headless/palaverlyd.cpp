// palaverlyd [N]: the headless station. Same settings, daily log file and single-instance rule
// as the desktop program; driven through standard input and output.

#include "headless/CHeadlessStation.h"
#include "hub/StationSetup.h"
#include "sys/CInstanceLock.h"
#include "wire/CBroadcastPort.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace palaverly;
    CInstanceLock lock(CInstanceLock::DefaultFolder());
    if (!lock.Acquired()) {
        // A lock file that cannot be used is said; a running station is not.
        if (!lock.Problem().empty())
            std::fprintf(stderr, "msg: %s\n", lock.Problem().c_str());
        return 255;
    }

    StationEnvironment env = SystemEnvironment(ChatPort(argc > 1 ? argv[1] : nullptr));
    CHeadlessStation station(std::move(env), STDIN_FILENO, STDOUT_FILENO);
    return station.Run();
}
