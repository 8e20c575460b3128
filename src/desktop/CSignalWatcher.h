#pragma once
// SIGTERM, SIGINT and SIGHUP turned into a Qt signal on the UI thread (self-pipe), so that
// they run the orderly shutdown instead of killing the station mid-way.

#include <QObject>

class QSocketNotifier;

namespace palaverly {

class CSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit CSignalWatcher(QObject* parent = nullptr);
    ~CSignalWatcher() override;

signals:
    void Received(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace palaverly
