#pragma once
// What the command line of palaverly and palaverlyd asks for. Only the first argument counts,
// as it did for the Windows stations: "--help" and "--version" are ours, anything else is the
// port number.

#include <cstdint>
#include <string>
#include <vector>

namespace palaverly {

enum class ProgramKind { Desktop, Headless };

enum class ProgramAction { Run, ShowHelp, ShowVersion };

struct ProgramOptions {
    ProgramAction action = ProgramAction::Run;
    std::uint16_t port = 8000;
    bool serve = false; ///< palaverlyd --serve: a service, no commands on standard input
};

/// "-h" or "--help" and "--version" as the first argument; otherwise the chat port from that
/// argument by the number rule of ChatPort (none or non-numeric gives 8000). For palaverlyd,
/// a first argument "--serve" asks for a service and the port comes from the second.
ProgramOptions ParseProgramOptions(int argc, const char* const* argv,
                                   ProgramKind kind = ProgramKind::Desktop);

/// The usage text: the port rule, the settings file and log folder as they resolve now, the
/// single-instance rule and the manual page; for palaverlyd the `commands` of its line
/// interface ("send TEXT"), in their order. Ends with a line end.
std::string HelpText(ProgramKind kind, const std::vector<std::string>& commands = {});

/// One line: program name, the version string stations exchange, and the build version.
std::string VersionText(ProgramKind kind);

/// Writes the help or the version text to standard output. Returns the exit status: 0, or 1
/// when the text could not be written.
int PrintProgramInformation(ProgramKind kind, ProgramAction action,
                            const std::vector<std::string>& commands = {});

/// The build's own version (the CMake project version).
const char* BuildVersion();

} // namespace palaverly
