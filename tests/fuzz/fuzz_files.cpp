// Feeds arbitrary bytes as the files a user or another program may have edited: the settings
// file (every value loaded, saved and loaded again) and today's daily log file (reloaded into
// the chat log). The first byte chooses.

#include "CStationHubTestPeer.h"
#include "FuzzStation.h"
#include "settings/CInfoValues.h"
#include "settings/CNoticeTemplates.h"
#include "settings/COptionValues.h"
#include "settings/CPhraseValues.h"
#include "settings/CSettingsLines.h"
#include "settings/CSettingsStore.h"
#include "settings/CStationSettings.h"
#include "station/CChatLog.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>

using namespace palaverly;

namespace {

void Write(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<long>(bytes.size()));
}

void LoadSettingsFile(const std::filesystem::path& dir, std::string_view text) {
    // A rewrite keeps every line it does not set: parsing its own text changes nothing.
    const std::string once = CSettingsLines::Parse(text).Text();
    if (CSettingsLines::Parse(once).Text() != once)
        std::abort();
    const std::filesystem::path file = dir / "fuzzed.conf";
    Write(file, text);
    CSettingsStore store(file);
    COptionValues options;
    CInfoValues info;
    CPhraseValues phrases;
    CNoticeTemplates templates;
    CStationSettings station;
    options.LoadSettings(store);
    info.LoadSettings(store);
    phrases.LoadSettings(store);
    templates.LoadSettings(store);
    station.LoadSettings(store, "user");
    options.SaveSettings(store);
    info.SaveSettings(store);
    phrases.SaveSettings(store);
    station.SaveSettings(store);
    options.LoadSettings(store);
    station.LoadSettings(store, "user");
}

struct CFuzzReload {
    CFuzzReload() : dir(fuzz::MakeFolder("files", "Flg LogOutput=1\n")) {
        station = std::make_unique<CStationHub>(frontEnd, fuzz::MakeEnvironment(dir));
        station->Initialize();
    }
    std::filesystem::path dir;
    fuzz::CQuietFrontEnd frontEnd;
    std::unique_ptr<CStationHub> station;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static CFuzzReload f;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        LoadSettingsFile(f.dir, bytes);
    } else {
        Write(fuzz::TodaysLog(f.dir), bytes);
        f.station->ReloadLog();
        (void)f.station->CopyLogLine();
    }
    return 0;
}
