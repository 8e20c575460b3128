#pragma once
// The option values, the live settings that the options dialog edits in place.

#include <cstdint>
#include <string>

namespace palaverly {

class CSettingsStore;

struct COptionValues {
    int m_flgPopupAllMsg = 0;                 // "Flg Popup(AllMsg)"
    int m_flgPopupToYouMsg = 0;               // "Flg Popup(ToYouMsg)"
    int m_flgLocalEcho = 0;                   // "Flg LocalEcho"
    int m_flgClearAfterInput = 0;             // "Flg ClearAfterInput"
    int m_flgTransmissionWithEnter = 0;       // "Flg Transmission with Enter"
    int m_flgLogOutput = 0;                   // "Flg LogOutput"
    int m_flgLogAutoLoad = 0;                 // "Flg LogAutoLoad"
    int m_flgLoginLogoutCheck = 0;            // "Flg LoginLogoutCheck"
    int m_flgLogClickToUserMarkOn = 0;        // "Flg LogClickToUserMarkON"
    int m_flgChatServer = 0;                  // "Flg ChatServer"
    int m_flgChatServerMsgRecv = 0;           // "Flg ChatServerMsgRecv"
    int m_flgUseBeepSound = 0;                // "Flg UseBeepSound"
    int m_flgCloseToUnload = 0;               // "Flg CloseToUnload"
    int m_flgChatWindowCloseAndHide = 0;      // "Flg ChatWindowCloseAndHide"
    int m_flgChatWindowReady = 0;             // "Flg ChatWindowReady"
    int m_scrollTimming = 25;                 // "Scroll Timming", 1..50, unit 10 ms
    int m_msgDownloadTimming = 18;            // "MsgDownload Timming", 1..180, unit 10 s
    int m_autoCloseTimming = 3;               // "AutoClose Timming", 1..30, unit 10 s
    int m_recvTimming = 30;                   // "Recv Timming", 0..150, unit 1 ms
    std::int32_t m_colorMyMessage = 16711680; // "Color MyMessage", COLORREF 0x00BBGGRR
    int m_flgDesktopNotify = 1;               // "Flg DesktopNotify", set by hand, not saved
    std::string m_logSavePath;                // "LogSavePath" (CP932); default DefaultLogSavePath()
    std::string m_soundFilePath;              // "SoundFilePath" (CP932), empty by default

    /// Fills every value from the store (read limit 128 each); a missing value takes its
    /// default, except "SoundFilePath", which keeps its current value. Values are kept as
    /// stored: a timing outside its range is not clamped here (the dialog does that).
    void LoadSettings(const CSettingsStore& store);
    /// Writes every value to the store in one replacement, numbers and flags as "%d";
    /// "Flg DesktopNotify", which the options dialog does not show, is left as it stands.
    /// 0, or -1 when the store could not be written.
    int SaveSettings(CSettingsStore& store) const;

    /// $XDG_DATA_HOME/palaverly (~/.local/share/palaverly) as CP932.
    static std::string DefaultLogSavePath();
};

} // namespace palaverly
