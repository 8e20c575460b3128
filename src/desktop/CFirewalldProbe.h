#pragma once
// Whether firewalld runs: its name on the system bus, asked once without waiting and then
// followed. Without a system bus it never runs, and nothing of D-Bus is loaded.

#include <QObject>

namespace palaverly {

class CFirewalldProbe : public QObject {
    Q_OBJECT
public:
    explicit CFirewalldProbe(QObject* parent = nullptr);

    /// Asks the system bus whether firewalld's name has an owner and watches it from then on;
    /// false when there is no bus.
    bool Start();

    /// True once the bus has said that firewalld runs (until it says it stopped).
    bool Running() const { return m_running; }

private slots:
    void OnOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    bool m_running = false;
};

} // namespace palaverly
