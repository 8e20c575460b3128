#pragma once
// The bulletins this station has received from bulletin servers (SETM), in the order in which
// the servers were first heard, and the ticker text composed from them.

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace palaverly {

/// Gives the handle name of the first roster row whose computer-name column contains
/// `computer`, or an empty text when there is none (the roster's FindHandleByComputerName).
using HandleLookup = std::function<std::string(const std::string& computer)>;

/// At most 16 bulletins keyed by the server's computer name; entries are never removed.
/// Not thread-safe: the user-interface thread owns it.
class CBulletinStore {
public:
    static constexpr std::size_t kCapacity = 16;
    /// A key is a 16-byte zero-terminated field on the wire.
    static constexpr std::size_t kMaxKeyBytes = 15;

    struct Entry {
        std::string key;  // server's computer name, CP932
        std::string text; // its bulletin message, CP932
    };

    /// Takes a SETM's computer name and bulletin text. An empty key or text is ignored; a key
    /// already stored gets its text replaced in place; a new key is appended unless the store
    /// is full. A key longer than kMaxKeyBytes is cut (never inside a double-byte character).
    /// Returns true when the bulletin was taken and the ticker text must be rebuilt.
    bool StoreBulletin(const std::string& key, const std::string& text);

    /// The ticker text: `localMessage`, then, unless `msgRecvOff` ("Flg ChatServerMsgRecv"),
    /// for each entry in store order whose server has a handle in the roster,
    /// FillTemplate(`template05`, handle) followed by the entry's text.
    std::string BuildTickerText(const std::string& localMessage, bool msgRecvOff,
                                const std::string& template05, const HandleLookup& lookup) const;

    const std::vector<Entry>& Entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::size_t> m_entryOfKey; // entries are never removed
};

} // namespace palaverly
