#pragma once
// What the station asks of whatever shows it: the desktop window or the headless station.
// Every call arrives on the UI thread except Wake(), which the receive thread makes.

#include <cstdint>
#include <functional>
#include <string>

namespace palaverly {

class IChatFrontEnd {
public:
    virtual ~IChatFrontEnd() = default;

    /// Called from the receive thread when datagrams wait in the hand-over: the front end must
    /// call CChatDlg::DrainReceived() soon on its UI thread. One call per burst.
    virtual void Wake() = 0;

    /// Runs `task` later on the UI thread, after the current handler (a posted message).
    virtual void Post(std::function<void()> task) = 0;

    /// A message box (caption and text, CP932); it must not block reception.
    virtual void ShowNotice(const std::string& caption, const std::string& text) = 0;

    /// The alert: a wave file to play without blocking, or the system beep.
    virtual void PlaySound(const std::string& path) = 0;
    virtual void Beep() = 0;

    /// Brings the window to the front (an arriving message with a pop-up option set).
    virtual void Popup() {}

    /// A QUIT addressed to this station: the close behaviour.
    virtual void CloseRequested() {}

    /// The ticker text was rebuilt (CP932).
    virtual void TickerTextChanged(const std::string& /*text*/) {}

    /// The roster's group caption changed, with the member count it now shows.
    virtual void MemberCountChanged(const std::string& /*caption*/, int /*count*/) {}

    /// A chat-log row was added (receiver, sender, time, kind, content; CP932).
    virtual void LogRowAdded(int /*row*/) {}

    /// Initialisation steps that concern the window; called in the station's order.
    virtual void AddTrayIcon() {}
    /// The window's saved placement ("WindowPos"), after the settings have been loaded.
    virtual void RestorePlacement() {}
    virtual void SetEditTexts(const std::string& /*handle*/, const std::string& /*status*/) {}
    virtual void StartTimers() {}
    virtual void ToggleWindow() {}

    /// The system window-text colour now (0x00BBGGRR), for chat-log rows.
    virtual std::int32_t WindowTextColour() { return 0; }

    /// The roll call went out at the end of the initialisation.
    virtual void Ready() {}
};

} // namespace palaverly
