// Feeds arbitrary bytes to a station as received datagrams: once through the whole receive
// path (unscramble, repetition check, hand-over, dispatch) and once straight to the dispatch,
// so that command words are reached without the fuzzer having to learn the scrambling. The
// station writes its daily log, and its roster and chat log are full from the start, so that
// the refusals and the trimming at the caps are reached too. An input of any length is cut
// into datagrams; the last is filled with zeros.

#include "CStationHubTestPeer.h"
#include "FuzzStation.h"
#include "station/CChatLog.h"
#include "station/CMemberRoster.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace palaverly;

namespace {

Datagram Scrambled(std::string_view word, const Payload& payload, int id) {
    Datagram d = BuildDatagram(id, fuzz::FixedTime(), word, payload);
    Scramble(d);
    return d;
}

struct CFuzzStation {
    CFuzzStation() {
        dir = fuzz::MakeFolder("station", "Flg LoginLogoutCheck=1\nFlg ChatServer=1\n"
                                          "Flg Popup(AllMsg)=1\nFlg LogOutput=1\n"
                                          "Info Msg99=bulletin\n");
        station = std::make_unique<CStationHub>(frontEnd, fuzz::MakeEnvironment(dir));
        station->Initialize();
        // Filled in batches, as a flood arrives: one drain (and one file write) per batch.
        std::vector<char> batch;
        int id = 1;
        auto receive = [&](std::string_view word, const Payload& payload, bool last) {
            const Datagram d = Scrambled(word, payload, id++);
            batch.insert(batch.end(), d.bytes.begin(), d.bytes.end());
            if (last || batch.size() == 64 * kDatagramSize) {
                station->Reception().AcceptBatch(batch.data(), batch.size() / kDatagramSize);
                station->DrainReceived();
                batch.clear();
            }
        };
        for (int i = 0; i < CMemberRoster::kMemberLimit; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "SQ%05d", i);
            InfoFields f{"010000000001", name, name};
            receive("INFO", MakeInfoPayload(f), i + 1 == CMemberRoster::kMemberLimit);
        }
        for (int i = 0; i < CChatLog::kRowLimit; ++i)
            receive("SEND", MakeSendPayload("PCB", "PCA", "x"), i + 1 == CChatLog::kRowLimit);
    }
    std::filesystem::path dir;
    fuzz::CQuietFrontEnd frontEnd;
    std::unique_ptr<CStationHub> station;
    unsigned runs = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CFuzzStation f;
    const std::size_t count = size == 0 ? 1 : (size + kDatagramSize - 1) / kDatagramSize;
    std::vector<char> bytes(count * kDatagramSize, '\0');
    if (size > 0)
        std::memcpy(bytes.data(), data, size);
    for (std::size_t i = 0; i < count; ++i) {
        Datagram d;
        std::memcpy(d.bytes.data(), bytes.data() + i * kDatagramSize, kDatagramSize);
        f.station->Dispatch(d, " 9:05");
        Scramble(bytes.data() + i * kDatagramSize);
    }
    f.station->Reception().AcceptBatch(bytes.data(), count);
    f.station->DrainReceived();
    // The file keeps every line; over a long run it is emptied now and then.
    if (++f.runs % 1000 == 0) {
        std::error_code ignored;
        std::filesystem::resize_file(fuzz::TodaysLog(f.dir), 0, ignored);
    }
    return 0;
}
