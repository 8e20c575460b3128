#include "hub/StationSetup.h"

#include "sys/Identity.h"
#include "wire/BroadcastRoutes.h"
#include "wire/CBroadcastPort.h"
#include "wire/StationId.h"

namespace palaverly {

std::vector<std::uint32_t> ExtraDestinations(const CSettingsStore& settings,
                                             const ErrorSink& errors) {
    std::string value;
    if (settings.ReadSetting("BroadcastAddresses", value, CSettingsStore::kLongValueLimit) != 0)
        return {};
    DestinationList list = ParseDestinationList(value);
    if (!list.rejected.empty() && errors) {
        std::string text = "BroadcastAddresses: not an IPv4 address:";
        for (const std::string& entry : list.rejected)
            text += " \"" + entry + "\"";
        errors("msg", text);
    }
    return std::move(list.addresses);
}

StationEnvironment SystemEnvironment(std::uint16_t port) {
    StationEnvironment env;
    env.port = port;
    env.settingsFile = CSettingsStore::DefaultPath();
    env.clock = SystemLocalTime;
    env.makePort = [settingsFile = env.settingsFile](
                       std::uint16_t chatPort, ErrorSink errors) -> std::unique_ptr<CDatagramPort> {
        auto port = std::make_unique<CBroadcastPort>(chatPort, errors);
        port->SetExtraDestinations(ExtraDestinations(CSettingsStore(settingsFile), errors));
        return port;
    };
    env.hostName = [] { return LocalHostName(); };
    env.computerName = [] { return LocalComputerName(); };
    env.userName = [] { return LocalUserName(); };
    env.stationId = [] { return LocalStationId(LocalHostName()); };
    // Headless stations have no font: a fixed width per byte keeps column widths sensible.
    env.measure = [](std::string_view text) { return static_cast<int>(text.size()) * 7; };
    // Room for about 0.4 s of a 20,000/s flood (some 2.5 MB) while the UI thread is held up,
    // on top of the socket's own buffer.
    env.handOverCapacity = 8192;
    return env;
}

} // namespace palaverly
