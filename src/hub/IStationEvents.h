#pragma once
// What the station tells whatever shows it (the desktop window, the headless station) while it
// runs. Every call arrives on the UI thread except Wake(), which the receive thread makes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace palaverly {

/// A message or alert from another station that concerns this one (texts CP932).
struct IncomingMessage {
    enum class Kind { Message, Alert };
    Kind kind = Kind::Message;
    bool broadcast = false;     // SENDM or BEEPM
    std::string senderComputer; // the sender field
    std::string senderHandle;   // from the roster; empty when the sender has no row
    std::string text;           // the message, or for an alert the notice it logged
};

class IStationEvents {
public:
    virtual ~IStationEvents() = default;

    /// Called from the receive thread when datagrams wait in the hand-over: the front end must
    /// call CStationHub::DrainReceived() soon on its UI thread. One call per burst.
    virtual void Wake() = 0;

    /// Runs `task` later on the UI thread, after the current handler (a posted message).
    virtual void Post(std::function<void()> task) = 0;

    /// Runs `task` on the UI thread once `delay` has passed (a one-shot timer); called on the UI
    /// thread. A front end without timers runs it as a plain post: sooner, but never lost.
    virtual void PostDelayed(std::chrono::milliseconds /*delay*/, std::function<void()> task) {
        Post(std::move(task));
    }

    /// A message box (caption and text, CP932); it must not block reception.
    virtual void ShowNotice(const std::string& caption, const std::string& text) = 0;

    /// The alert: a wave file to play without blocking, or the system beep.
    virtual void PlaySound(const std::string& path) = 0;
    virtual void Beep() = 0;

    /// Brings the window to the front (an arriving message with a pop-up option set).
    virtual void Popup() {}

    /// The box "quit" of an arriving QUIT. A front end whose boxes stay open shows one at a time:
    /// while it is open, further QUITs change nothing on screen.
    virtual void ShowQuitNotice() { ShowNotice("Palaverly", "quit"); }

    /// A QUIT addressed to this station: the close behaviour.
    virtual void CloseRequested() {}

    /// The ticker text was rebuilt (CP932).
    virtual void TickerTextChanged(const std::string& /*text*/) {}

    /// The roster's group caption changed, with the member count it now shows.
    virtual void MemberCountChanged(const std::string& /*caption*/, int /*count*/) {}

    /// A chat-log row was added (receiver, sender, time, kind, content; CP932).
    virtual void LogRowAdded(int /*row*/) {}

    /// A message or alert from another station that concerns this one has been logged; the
    /// station's own coming back are not reported. Before the pop-up, if any.
    virtual void MessageArrived(const IncomingMessage& /*message*/) {}

    /// The system window-text colour now (0x00BBGGRR), for chat-log rows.
    virtual std::int32_t WindowTextColour() { return 0; }

    /// The hub's own timers want CStationHub::RunTimers() called in `ms` milliseconds (0: at
    /// once), instead of any time asked for before; -1: not at all.
    virtual void WakeAfter(std::int64_t /*ms*/) {}
};

} // namespace palaverly
