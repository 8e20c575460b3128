#include "DesktopFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <fstream>

namespace palaverly::test {

CDesktopLan::CDesktopLan() = default;

CDesktopLan::~CDesktopLan() {
    // Windows go first: their stations hold ports of this LAN.
    m_stations.clear();
}

QString CDesktopLan::SettingsFile(const std::string& computer) const {
    return m_root.filePath(QString::fromStdString(computer) + "/palaverly.conf");
}

CDesktopStation& CDesktopLan::Add(const std::string& computer, const std::string& handleUtf8,
                                  const std::vector<std::string>& settings, bool start,
                                  std::optional<bool> trayAvailable) {
    auto t = std::make_unique<CDesktopStation>();
    t->computer = computer;
    const QString dir = m_root.filePath(QString::fromStdString(computer));
    QDir().mkpath(dir + "/log");
    const std::string file = SettingsFile(computer).toStdString();
    if (!QFileInfo::exists(SettingsFile(computer))) {
        std::ofstream out(file);
        out << "HandleName=" << handleUtf8 << "\n";
        out << "LogSavePath=" << (dir + "/log").toStdString() << "\n";
        for (const auto& line : settings)
            out << line << "\n";
    }
    StationEnvironment env;
    env.settingsFile = file;
    env.clock = [this] { return now; };
    CDesktopStation* raw = t.get();
    env.makePort = [this, raw](std::uint16_t, ErrorSink) -> std::unique_ptr<CDatagramPort> {
        auto port = lan.Attach();
        raw->port = port.get();
        return port;
    };
    env.hostName = [computer] { return computer; };
    env.computerName = [computer] { return computer; };
    env.userName = [] { return std::string("user"); };
    env.stationId = [] { return std::string("010000000001"); };
    env.receiveThread = false;
    env.answerWindow = {}; // the pump lets no time pass: folded answers follow at once
    DesktopEnvironment desktop;
    if (trayProbe) {
        desktop.trayAvailable = trayProbe;
        desktop.followTrayHost = false;
    } else if (trayAvailable) { // otherwise the window asks the platform
        desktop.trayAvailable = [tray = *trayAvailable] { return tray; };
        desktop.followTrayHost = false;
    }
    desktop.placesWindows = placesWindows;
    desktop.shiftDown = [this] { return shiftDown; };
    desktop.showNoticeBoxes = false;
    desktop.monotonic = [this] { return monotonicMs; };
    desktop.notificationBus = notificationBus;
    t->window = std::make_unique<CChatWindow>(std::move(env), desktop);
    if (start)
        t->window->Start();
    m_stations.push_back(std::move(t));
    return *m_stations.back();
}

void CDesktopLan::Pump() {
    char buffer[kDatagramSize];
    for (int quiet = 0; quiet < 2;) {
        bool busy = false;
        for (auto& t : m_stations) {
            if (!t->port || !t->window)
                continue;
            while (t->port->TryReceive(buffer, kDatagramSize) == 0) {
                Peer(*t->window).Station().Reception().AcceptRaw(buffer);
                busy = true;
            }
        }
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        quiet = busy ? 0 : quiet + 1;
    }
}

std::vector<Datagram> CDesktopLan::TakeSent() {
    std::vector<std::string> sent = lan.Sent();
    std::vector<Datagram> result;
    for (std::size_t i = m_sentSeen; i < sent.size(); ++i) {
        Datagram d;
        std::copy_n(sent[i].data(), kDatagramSize, d.bytes.begin());
        Scramble(d);
        result.push_back(d);
    }
    m_sentSeen = sent.size();
    return result;
}

std::string CDesktopLan::Word(const Datagram& d) {
    std::string word(d.bytes.data() + kCommandOffset, kCommandSize);
    return word.substr(0, word.find('\0'));
}

} // namespace palaverly::test
