#pragma once
// The tray's sign that something arrived while the window was away: a count of messages and
// alerts for this station, drawn as a badge on the icon and named in its tooltip.

#include <QIcon>
#include <QString>

namespace palaverly {

class CUnreadBadge {
public:
    /// One more message or alert from `sender` (a handle or computer name, UTF-8).
    void Add(const QString& sender);
    /// The window was shown: everything counts as seen.
    void Clear();

    int Count() const { return m_count; }
    /// "Palaverly" alone, or with the count and the latest sender.
    QString ToolTip() const;
    /// `base` as it stands with no count, else with a red badge holding the count ("99+" above
    /// 99), drawn for each device pixel ratio in `ratios` so it stays sharp at high DPI.
    QIcon Icon(const QIcon& base, std::initializer_list<qreal> ratios = {1.0, 2.0}) const;

private:
    int m_count = 0;
    QString m_lastSender;
};

} // namespace palaverly
