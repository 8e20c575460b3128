#pragma once
// The columns of the two tables, in the order the lists show them. The core, the front ends
// and the tests name columns through these, never by number.

namespace palaverly {

/// The member roster: one row per station.
struct RosterColumn {
    enum : int { Handle, Status, Computer, Address, Version, LoginTime, Comment, Count };
};

/// The chat log: one row per message, alert or notice.
struct LogColumn {
    enum : int { Receiver, Sender, Time, Kind, Content, Count };
};

} // namespace palaverly
