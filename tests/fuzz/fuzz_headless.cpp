// Feeds arbitrary text to palaverlyd's two parsers: its command line (the input split at zero
// bytes into arguments) and its line interface (the input split into lines, each executed by a
// station whose output goes nowhere). The first byte chooses.

#include "FuzzStation.h"
#include "cli/ProgramOptions.h"
#include "headless/CHeadlessStation.h"

#include <cstdint>
#include <fcntl.h>
#include <string>
#include <vector>

using namespace palaverly;

namespace {

void ParseArguments(std::string_view input) {
    std::vector<std::string> arguments{"palaverlyd"};
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        arguments.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    (void)ParseProgramOptions(static_cast<int>(arguments.size()), argv.data());
}

struct CFuzzHeadless {
    CFuzzHeadless()
        : dir(fuzz::MakeFolder("headless", "Flg LogOutput=1\nFlg ChatServer=1\n")),
          devNull(::open("/dev/null", O_RDWR | O_CLOEXEC)),
          station(fuzz::MakeEnvironment(dir), devNull, devNull) {
        station.Station().Initialize();
    }
    std::filesystem::path dir;
    int devNull;
    CHeadlessStation station;
    unsigned runs = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1)
        return ParseArguments(input), 0;
    static CFuzzHeadless f;
    std::size_t start = 0;
    while (start <= input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        f.station.Execute(std::string(input.substr(start, end - start)));
        start = end + 1;
    }
    if (++f.runs % 1000 == 0) {
        f.station.Station().ClearLog();
        std::error_code ignored;
        std::filesystem::resize_file(fuzz::TodaysLog(f.dir), 0, ignored);
    }
    return 0;
}
