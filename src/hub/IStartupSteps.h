#pragma once
// The steps of the station's initialisation that the front end carries out, declared in the
// order CStationHub::Initialize calls them. All on the UI thread.

#include <string>

namespace palaverly {

class IStartupSteps {
public:
    virtual ~IStartupSteps() = default;

    /// Right after the transport: the tray icon.
    virtual void AddTrayIcon() {}
    /// After the settings are loaded: the window's icons and its saved placement
    /// (CLiveSettings::Placement()).
    virtual void RestorePlacement() {}
    /// The handle and status edits take the stored texts (CP932).
    virtual void SetEditTexts(const std::string& /*handle*/, const std::string& /*status*/) {}
    /// After the receive thread: the window's timers.
    virtual void StartTimers() {}
    /// "Flg ChatWindowReady": the window shows at start.
    virtual void ToggleWindow() {}
    /// The roll call went out at the end of the initialisation.
    virtual void Ready() {}
};

} // namespace palaverly
