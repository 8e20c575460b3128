// Feeds arbitrary bytes to a station as received datagrams: once through the whole receive
// path (unscramble, repetition check, hand-over, dispatch) and once straight to the dispatch,
// so that command words are reached without the fuzzer having to learn the scrambling.

#include "CChatDlgTestPeer.h"
#include "hub/CChatDlg.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace palaverly;

namespace {

// Answers go nowhere: the fuzzer is the only peer.
class CNullPort : public CDatagramPort {
public:
    int Send(const char*, short) override { return 0; }
    int Receive(char*, short) override { return ECANCELED; }
    void Interrupt() override {}
};

class CQuietFrontEnd : public IChatFrontEnd {
public:
    void Wake() override {}
    void Post(std::function<void()> task) override { task(); }
    void ShowNotice(const std::string&, const std::string&) override {}
    void PlaySound(const std::string&) override {}
    void Beep() override {}
};

struct CFuzzStation {
    CFuzzStation() {
        std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("palaverly-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        {
            std::ofstream out(dir / "palaverly.conf");
            out << "Flg LoginLogoutCheck=1\nFlg ChatServer=1\nFlg Popup(AllMsg)=1\n"
                << "Info Msg99=bulletin\nLogSavePath=" << dir.string() << "\n";
        }
        StationEnvironment env;
        env.settingsFile = dir / "palaverly.conf";
        env.clock = [] { return LocalTime{2026, 12, 8, 9, 5, 7, 0}; };
        env.makePort = [](std::uint16_t, ErrorSink) -> std::unique_ptr<CDatagramPort> {
            return std::make_unique<CNullPort>();
        };
        env.hostName = [] { return std::string("PCA"); };
        env.computerName = env.hostName;
        env.userName = [] { return std::string("user"); };
        env.stationId = [] { return std::string("192168001010"); };
        env.measure = [](std::string_view t) { return static_cast<int>(t.size()) * 6; };
        env.receiveThread = false;
        station = std::make_unique<CChatDlg>(frontEnd, std::move(env));
        station->Initialize();
    }
    CQuietFrontEnd frontEnd;
    std::unique_ptr<CChatDlg> station;
    unsigned runs = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CFuzzStation f;
    Datagram d;
    std::memcpy(d.bytes.data(), data, std::min(size, kDatagramSize));
    f.station->Dispatch(d, " 9:05");
    Scramble(d);
    f.station->AcceptRaw(d.bytes.data());
    f.station->DrainReceived();
    // Keep the lists from growing without bound over a long run.
    if (++f.runs % 1000 == 0) {
        Peer(f.station).ChatLog().OnClearLog();
        f.station->RefreshRoster();
    }
    return 0;
}
