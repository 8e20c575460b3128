#include "cli/ProgramOptions.h"

#include "cli/BuildVersion.h"
#include "settings/COptionValues.h"
#include "settings/CSettingsStore.h"
#include "text/Cp932.h"
#include "wire/CBroadcastPort.h"
#include "wire/Datagram.h"

#include <cstdio>
#include <string_view>

namespace palaverly {
namespace {

const char* ProgramName(ProgramKind kind) {
    return kind == ProgramKind::Desktop ? "palaverly" : "palaverlyd";
}

// "Commands: a, b NAME, c." in lines of 79 columns at most, continued with an indent of two.
std::string CommandsParagraph(const std::vector<std::string>& commands) {
    std::string text;
    std::string line = "Commands:";
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string item = commands[i] + (i + 1 < commands.size() ? "," : ".");
        if (line.size() + 1 + item.size() > 79) {
            text += line + "\n";
            line = " ";
        }
        line += " " + item;
    }
    return text + line + "\n";
}

} // namespace

ProgramOptions ParseProgramOptions(int argc, const char* const* argv, ProgramKind kind) {
    ProgramOptions options;
    const char* first = argc > 1 ? argv[1] : nullptr;
    if (kind == ProgramKind::Headless && first != nullptr && std::string_view(first) == "--serve") {
        options.serve = true;
        first = argc > 2 ? argv[2] : nullptr;
    }
    if (first != nullptr && !options.serve) {
        std::string_view arg = first;
        if (arg == "--help" || arg == "-h") {
            options.action = ProgramAction::ShowHelp;
            return options;
        }
        if (arg == "--version") {
            options.action = ProgramAction::ShowVersion;
            return options;
        }
    }
    options.port = ChatPort(first);
    return options;
}

std::string HelpText(ProgramKind kind, const std::vector<std::string>& commands) {
    const std::string name = ProgramName(kind);
    std::string text = "Usage: " + name + " [N]\n";
    if (kind == ProgramKind::Headless)
        text += "       " + name + " --serve [N]\n";
    text += "       " + name + " --help | --version\n\n";
    if (kind == ProgramKind::Desktop)
        text += "Palaverly: serverless chat for the office LAN, resident in the system tray.\n\n";
    else
        text += "The Palaverly station without a window, driven by one command per line on\n"
                "standard input; it reports one event per line on standard output.\n\n";
    text += "  N            talk on UDP port 8000 + N; no number, or a text that does not\n"
            "               start with a number, means port 8000. Stations hear each other\n"
            "               only when they run with the same N.\n";
    if (kind == ProgramKind::Headless)
        text += "  --serve      run as a service (a bulletin server): standard input is not\n"
                "               read; SIGTERM or SIGINT ends the station in order. The user\n"
                "               unit palaverlyd.service runs it: systemctl --user enable --now\n"
                "               palaverlyd\n";
    text += "  -h, --help   show this help and exit\n"
            "  --version    show the version and exit\n\n";
    if (kind == ProgramKind::Headless)
        text += CommandsParagraph(commands) +
                "  search looks through every daily log file, newest first.\n"
                "Events: READY, LOG, MEMBERS, TICKER, NOTICE, SOUND, BEEP, POPUP, ERROR;\n"
                "  answers MEMBER, ROW, FOUND, then END.\n\n";
    text += "Settings file:   " + CSettingsStore::DefaultPath().string() + "\n";
    text += "Daily log files: CHATyyymmdd.LOG in the folder of the \"LogSavePath\" setting\n"
            "                 (default " +
            cp932::ToUtf8(COptionValues::DefaultLogSavePath()) + ")\n";
    text += "Every datagram goes to the broadcast address of each LAN this machine is on;\n"
            "the \"BroadcastAddresses\" setting adds destinations, IPv4 addresses separated\n"
            "by commas or spaces (directed broadcasts of other subnets, or single hosts),\n"
            "e.g. BroadcastAddresses=192.168.2.255, 192.168.3.17\n\n";
    text += "Incoming UDP port 8000 + N must be open in the firewall: every answer is a\n"
            "broadcast. A station that cannot hear its own answers says so, with the command\n"
            "for the firewall it finds.\n\n";
    text += "Only one station, palaverly or palaverlyd, runs per user: a second start exits\n"
            "at once with status 255.\n\n";
    text += "See the manual page " + name + "(1) (\"man " + name + "\") for more.\n";
    return text;
}

std::string VersionText(ProgramKind kind) {
    return std::string(ProgramName(kind)) + " " + std::string(kVersionString) + " (Palaverly " +
           kBuildVersion + ")\n";
}

int PrintProgramInformation(ProgramKind kind, ProgramAction action,
                            const std::vector<std::string>& commands) {
    const std::string text =
        action == ProgramAction::ShowHelp ? HelpText(kind, commands) : VersionText(kind);
    // A full disk or closed pipe must not pass for success.
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

const char* BuildVersion() {
    return kBuildVersion;
}

} // namespace palaverly
