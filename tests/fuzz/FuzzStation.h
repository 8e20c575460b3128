#pragma once
// A station for the fuzz targets: its own folder (settings file and daily logs), a port whose
// answers go nowhere, a front end that shows nothing and a fixed clock.

#include "hub/CStationHub.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace palaverly::fuzz {

class CNullPort : public CDatagramPort {
public:
    int Send(const char*, short) override { return 0; }
    int Receive(char*, short) override { return ECANCELED; }
    void Interrupt() override {}
};

class CQuietFrontEnd : public IChatFrontEnd {
public:
    void Wake() override {}
    void Post(std::function<void()> task) override { task(); }
    void ShowNotice(const std::string&, const std::string&) override {}
    void PlaySound(const std::string&) override {}
    void Beep() override {}
};

inline LocalTime FixedTime() {
    return LocalTime{2026, 12, 8, 9, 5, 7, 0};
}

/// A folder of its own under the temporary folder, with a settings file of `settings` lines
/// (the daily logs go into the folder as well).
inline std::filesystem::path MakeFolder(const std::string& what, const std::string& settings) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("palaverly-fuzz-" + what + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "palaverly.conf") << settings << "LogSavePath=" << dir.string() << "\n";
    return dir;
}

/// The environment of station "PCA" at 192.168.1.10 with its files in `dir`.
inline StationEnvironment MakeEnvironment(const std::filesystem::path& dir) {
    StationEnvironment env;
    env.settingsFile = dir / "palaverly.conf";
    env.clock = FixedTime;
    env.makePort = [](std::uint16_t, ErrorSink) -> std::unique_ptr<CDatagramPort> {
        return std::make_unique<CNullPort>();
    };
    env.hostName = [] { return std::string("PCA"); };
    env.computerName = env.hostName;
    env.userName = [] { return std::string("user"); };
    env.stationId = [] { return std::string("192168001010"); };
    env.measure = [](std::string_view t) { return static_cast<int>(t.size()) * 6; };
    env.receiveThread = false;
    return env;
}

/// Today's daily log file of a station whose files are in `dir`.
inline std::filesystem::path TodaysLog(const std::filesystem::path& dir) {
    return dir / "CHAT1261208.LOG";
}

} // namespace palaverly::fuzz
