#pragma once
// Suspend and resume from logind's PrepareForSleep on the system bus. Without a system bus
// there are no events and nothing of D-Bus is loaded.

#include <QObject>

namespace palaverly {

class CPowerEvents : public QObject {
    Q_OBJECT
public:
    explicit CPowerEvents(QObject* parent = nullptr);

    /// Connects to the system bus when one is there; false when there is none.
    bool Start();

signals:
    void Suspending();
    void Resumed();

public slots:
    /// logind's signal: true before the sleep, false after the wake-up.
    void OnPrepareForSleep(bool sleeping);
};

} // namespace palaverly
