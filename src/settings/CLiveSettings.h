#pragma once
// The live settings of a station: the settings file and the option, information, phrase,
// notice-template and station values read from it. The station reads them; the dialogs
// reload them when they open and hand them back on save.

#include "settings/CInfoValues.h"
#include "settings/CNoticeTemplates.h"
#include "settings/COptionValues.h"
#include "settings/CPhraseValues.h"
#include "settings/CSettingsStore.h"
#include "settings/CStationSettings.h"

#include <filesystem>
#include <optional>
#include <string>

namespace palaverly {

class CLiveSettings {
public:
    explicit CLiveSettings(std::filesystem::path file) : m_store(std::move(file)) {}
    CLiveSettings(const CLiveSettings&) = delete;
    CLiveSettings& operator=(const CLiveSettings&) = delete;

    /// Start-up: options, information texts, phrases, then handle, status and placement; a
    /// missing handle name becomes `logonName`.
    void LoadSettings(const std::string& logonName);
    /// The notice templates; a missing one is written back with its default.
    void LoadTemplates() { m_templates.LoadSettings(m_store); }

    const COptionValues& Options() const { return m_options; }
    const CInfoValues& Info() const { return m_info; }
    const CPhraseValues& Phrases() const { return m_phrases; }
    const CNoticeTemplates& Templates() const { return m_templates; }
    /// Handle name, status and placement: the station changes them, its shutdown saves them.
    CStationSettings& Station() { return m_station; }
    const CStationSettings& Station() const { return m_station; }
    const CSettingsStore& Store() const { return m_store; }

    /// Reload the live values from the settings file (a dialog opens on what is stored).
    const COptionValues& ReloadOptions();
    const CInfoValues& ReloadInfo();
    const CPhraseValues& ReloadPhrases();
    /// Make `values` the live ones, then write them. The store's result: 0, or -1 when the
    /// file could not be written (the new values stay live, as the dialog showed them).
    int SaveOptions(const COptionValues& values);
    int SaveInfo(const CInfoValues& values);
    int SavePhrases(const CPhraseValues& values);

    /// The window placement read at start-up ("WindowPos"); none when missing or bad.
    std::optional<CWindowPos> Placement() const { return m_station.m_windowPos; }
    /// The placement to write at shutdown.
    void SetPlacement(const CWindowPos& placement) { m_station.m_windowPos = placement; }
    /// Handle name, status and placement in one replacement. 0 or -1.
    int SaveStation() { return m_station.SaveSettings(m_store); }
    /// "WindowPos" alone (0 without a placement). 0 or -1.
    int SavePlacement();

private:
    template <class Values> const Values& Reload(Values& live) {
        live.LoadSettings(m_store);
        return live;
    }
    template <class Values> int Save(Values& live, const Values& values) {
        live = values;
        return live.SaveSettings(m_store);
    }

    CSettingsStore m_store;
    COptionValues m_options;
    CInfoValues m_info;
    CPhraseValues m_phrases;
    CNoticeTemplates m_templates;
    CStationSettings m_station;
};

} // namespace palaverly
