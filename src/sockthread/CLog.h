#pragma once
// Log interface of the socket-thread family, with the per-user profile store.

#include "SockThreadExport.h"

/// An abstract log that socket-thread objects carry for their derived classes.
///
/// The two static operations read and write the per-user profile store: the INI-style file
/// `$XDG_CONFIG_HOME/palaverly.ini` (`~/.config/palaverly.ini` when the variable is unset or
/// not absolute), made of `[section]` lines followed by `entry=value` lines. Section and entry
/// names match without regard to ASCII case; spaces around names and values are not part of
/// them. Texts are stored as the bytes given (CP932 in this program).
class PALAVERLY_SOCKTHREAD_EXPORT CLog {
public:
    /// Longest value the profile store keeps, in bytes; ReadReg needs a buffer of one more.
    static constexpr int kMaxValueBytes = 4095;

    CLog();
    CLog(const CLog& other);
    CLog& operator=(const CLog& other);
    virtual ~CLog();

    /// Records one line of text; supplied by the derived class.
    virtual void Log(const char* text) = 0;

    /// Writes `value` as `entry` of `section`. A null `value` removes the entry, a null
    /// `entry` removes the whole section. The file is replaced atomically (mode 0600).
    /// Returns 1 on success; -1 when the file cannot be written or a name or value cannot be
    /// stored (line breaks anywhere, ']' in a section, '=' in an entry, a value longer than
    /// kMaxValueBytes), so that what was written always reads back unchanged.
    static int WriteReg(char* section, char* entry, char* value);

    /// Copies the value of `entry` in `section`, NUL included, into `out`, which must hold
    /// kMaxValueBytes + 1 bytes (a longer hand-edited value is cut on a character boundary).
    /// A missing entry reads as "". Returns 0 when the copied text is not empty, -1 when it is.
    static int ReadReg(char* section, char* entry, char* out);
};
