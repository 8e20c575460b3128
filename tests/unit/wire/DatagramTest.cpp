#include "wire/Datagram.h"

#include "text/Cp932.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace palaverly;

namespace {

const LocalTime kNoon{2026, 3, 14, 12, 34, 56, 789};
const std::string kKan = "\x8A\xBF"; // 漢, double-byte

std::string Bytes(const Datagram& d, std::size_t from, std::size_t count) {
    return std::string(d.bytes.data() + from, count);
}

// True when every byte of [from, to) is zero.
bool ZeroRange(const Datagram& d, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (d.bytes[i] != '\0')
            return false;
    }
    return true;
}

Datagram WithWord(std::string_view word) {
    return BuildDatagram(1, kNoon, word, nullptr);
}

std::string Repeat(const std::string& unit, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

} // namespace

TEST(DatagramHeader, FormatsIdTimeAndWordThenZeroUntilPayload) {
    struct Case {
        std::string word;
        std::string header; // bytes 0..22
    } cases[] = {
        {"MEMB", std::string("12345678123456", 14) + "0789MEMB" + std::string(1, '\0')},
        {"BYE", std::string("12345678123456", 14) + "0789BYE" + std::string(2, '\0')},
        {"SEND", std::string("12345678123456", 14) + "0789SEND" + std::string(1, '\0')},
        {"SENDM", std::string("12345678123456", 14) + "0789SENDM"},
        // "%.5s" keeps only five letters of a longer word.
        {"BEEPMX", std::string("12345678123456", 14) + "0789BEEPM"},
    };
    for (const Case& c : cases) {
        Datagram d = BuildDatagram(12345678, kNoon, c.word, nullptr);
        EXPECT_EQ(Bytes(d, 0, 23), c.header) << c.word;
        EXPECT_TRUE(ZeroRange(d, 23, kDatagramSize)) << c.word;
    }
}

TEST(DatagramHeader, SmallValuesArePaddedAndOutOfRangeValuesNeverShiftTheWord) {
    Datagram d = BuildDatagram(42, LocalTime{0, 0, 0, 7, 5, 3, 9}, "INFO", nullptr);
    EXPECT_EQ(Bytes(d, 0, 22), "000000420705030009INFO");

    // A wild id or clock value still leaves the command word at offset 18.
    for (int id : {-1, 123456789, 2147483647}) {
        Datagram w = BuildDatagram(id, LocalTime{0, 0, 0, 123, -4, 60, 12345}, "GETM", nullptr);
        EXPECT_EQ(Bytes(w, 18, 4), "GETM") << id;
        EXPECT_EQ(w.bytes[22], '\0') << id;
        for (std::size_t i = 0; i < 18; ++i)
            EXPECT_TRUE(w.bytes[i] >= '0' && w.bytes[i] <= '9') << id << " at " << i;
    }
}

TEST(DatagramHeader, FiveLetterWordIsFollowedDirectlyByPayload) {
    Payload payload = MakeSendPayload("ALPHA", "BETA", "hi");
    Datagram d = BuildDatagram(7, kNoon, "SENDM", payload);
    EXPECT_EQ(d.bytes[22], 'M');
    EXPECT_EQ(d.bytes[23], 'A');
    EXPECT_EQ(ReadField(d, kSenderOffset), "ALPHA");
}

TEST(DatagramScramble, ZeroPayloadOnTheWireCountsUpFrom0x97) {
    Datagram d = WithWord("MEMB");
    Scramble(d);
    for (std::size_t i = 23; i < kDatagramSize; ++i)
        EXPECT_EQ(static_cast<unsigned char>(d.bytes[i]), (i + 128) % 256) << i;
    EXPECT_EQ(static_cast<unsigned char>(d.bytes[23]), 0x97);
    EXPECT_EQ(static_cast<unsigned char>(d.bytes[127]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(d.bytes[128]), 0x00);
    EXPECT_EQ(static_cast<unsigned char>(d.bytes[254]), 0x7E);
    // The header is scrambled as well: '0' (0x30) at byte 0 becomes 0x30 ^ 0x80.
    EXPECT_EQ(static_cast<unsigned char>(d.bytes[0]), 0x30 ^ 0x80);
}

TEST(DatagramScramble, TwiceGivesBackEveryByte) {
    Datagram original;
    for (std::size_t i = 0; i < kDatagramSize; ++i)
        original.bytes[i] = static_cast<char>((i * 37 + 11) % 256);
    Datagram d = original;
    Scramble(d);
    EXPECT_NE(d.bytes, original.bytes);
    Scramble(d);
    EXPECT_EQ(d.bytes, original.bytes);
}

TEST(DatagramPayload, InfoFieldsSitAtTheirOffsets) {
    InfoFields info;
    info.stationId = "192168001010";
    info.computerName = "PC-SALES01";
    info.handleName = "Tanaka";
    info.status = cp932::Sjis("普通");
    info.loginTime = "09:05'07";
    Datagram d = BuildDatagram(1, kNoon, "INFO", MakeInfoPayload(info));

    struct Field {
        std::size_t offset;
        std::size_t size;
        std::string text;
    } fields[] = {{23, 13, "192168001010"}, {36, 16, "PC-SALES01"}, {52, 21, "Tanaka"},
                  {73, 11, "060R-003"},     {84, 20, info.status},  {105, 21, "Not support"},
                  {126, 9, "09:05'07"}};
    for (const Field& f : fields) {
        EXPECT_EQ(ReadField(d, f.offset), f.text) << f.offset;
        EXPECT_TRUE(ZeroRange(d, f.offset + f.text.size(), f.offset + f.size)) << f.offset;
    }
    EXPECT_TRUE(ZeroRange(d, 135, kDatagramSize));
}

TEST(DatagramPayload, InfoStatusMayFillTwentyBytesAndByte104EndsIt) {
    InfoFields info;
    info.status = Repeat(kKan, 12); // 24 bytes: cut to 10 characters
    info.comment = "";
    Datagram d = BuildDatagram(1, kNoon, "INFO", MakeInfoPayload(info));
    EXPECT_EQ(Bytes(d, 84, 20), Repeat(kKan, 10));
    EXPECT_EQ(d.bytes[104], '\0');
    EXPECT_EQ(ReadInfo(d).status, Repeat(kKan, 10));
}

TEST(DatagramPayload, OverlongTextsAreCutOnCharacterBoundariesAndStayTerminated) {
    // An odd start puts the 20-byte limit inside the tenth double-byte character.
    InfoFields info;
    info.handleName = "a" + Repeat(kKan, 20);
    info.computerName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    info.stationId = "1234567890123456";
    info.status = "x" + Repeat(kKan, 10);
    info.loginTime = "123:45'678";
    Datagram d = BuildDatagram(1, kNoon, "INFO", MakeInfoPayload(info));
    InfoFields read = ReadInfo(d);
    EXPECT_EQ(read.handleName, "a" + Repeat(kKan, 9));
    EXPECT_EQ(read.computerName, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(read.stationId, "123456789012");
    EXPECT_EQ(read.status, "x" + Repeat(kKan, 9));
    EXPECT_EQ(read.version, "060R-003");
    EXPECT_EQ(read.loginTime, "123:45'6");
}

TEST(DatagramPayload, TextStopsAtAnEmbeddedZero) {
    Payload payload = MakeSendPayload(std::string("AB\0CD", 5), "R", std::string("hi\0there", 8));
    Datagram d = BuildDatagram(1, kNoon, "SEND", payload);
    EXPECT_EQ(ReadField(d, kSenderOffset), "AB");
    EXPECT_TRUE(ZeroRange(d, 25, 39));
    EXPECT_EQ(ReadField(d, kSendTextOffset), "hi");
    EXPECT_TRUE(ZeroRange(d, 57, kDatagramSize));
}

TEST(DatagramPayload, GetmAndByeCarryStationIdAndComputerNameOnly) {
    for (const char* word : {"GETM", "BYE"}) {
        Datagram d = BuildDatagram(1, kNoon, word, MakeStationPayload("010000000001", "HOST"));
        EXPECT_EQ(Bytes(d, 23, 13), std::string("010000000001") + '\0') << word;
        EXPECT_EQ(Bytes(d, 36, 5), std::string("HOST") + '\0') << word;
        EXPECT_TRUE(ZeroRange(d, 36 + 4, kDatagramSize)) << word;
    }
    // A station without an address sends an empty StationId.
    Datagram none = BuildDatagram(1, kNoon, "BYE", MakeStationPayload("", "HOST"));
    EXPECT_EQ(ReadField(none, kStationIdOffset), "");
    EXPECT_EQ(ReadField(none, kComputerOffset), "HOST");
}

TEST(DatagramPayload, SetmTextRunsToTheEndOfTheDatagram) {
    struct Case {
        std::size_t length;
        std::size_t kept;
        bool terminated;
    } cases[] = {{0, 0, true}, {202, 202, true}, {203, 203, false}, {400, 203, false}};
    for (const Case& c : cases) {
        std::string text(c.length, 'b');
        Datagram d = BuildDatagram(1, kNoon, "SETM", MakeSetmPayload("1", "SRV", text));
        EXPECT_EQ(ReadField(d, kSetmTextOffset), std::string(c.kept, 'b')) << c.length;
        EXPECT_EQ(d.bytes[254] == '\0', c.terminated) << c.length;
        EXPECT_EQ(ReadField(d, kComputerOffset), "SRV");
    }
    // A double-byte character that would straddle the end is left out.
    Datagram d =
        BuildDatagram(1, kNoon, "SETM", MakeSetmPayload("1", "SRV", "xy" + Repeat(kKan, 110)));
    EXPECT_EQ(ReadField(d, kSetmTextOffset), "xy" + Repeat(kKan, 100));
    EXPECT_EQ(d.bytes[254], '\0');
}

TEST(DatagramPayload, BeepSilentFlagHasNoZeroByte) {
    struct Case {
        bool silent;
        std::string flag;
    } cases[] = {{true, "S              "}, {false, "N              "}};
    for (const Case& c : cases) {
        Datagram d = BuildDatagram(1, kNoon, "BEEPM", MakeBeepPayload("ME", "YOU", c.silent));
        EXPECT_EQ(Bytes(d, 55, 15), c.flag);
        EXPECT_EQ(d.bytes[70], '\0');
        EXPECT_TRUE(ZeroRange(d, 70, kDatagramSize));
        EXPECT_EQ(ReadField(d, kSilentFlagOffset), c.flag);
        EXPECT_EQ(SilentFlagSet(d), c.silent);
        EXPECT_EQ(ReadField(d, kSenderOffset), "ME");
        EXPECT_EQ(ReadField(d, kReceiverOffset), "YOU");
    }
}

TEST(DatagramPayload, SendTextAlwaysEndsInsideTheDatagram) {
    struct Case {
        std::string text;
        std::string kept;
    } cases[] = {
        {"hello", "hello"},
        {std::string(199, 't'), std::string(199, 't')},
        {std::string(260, 't'), std::string(199, 't')},
        // 130 double-byte characters (260 bytes): 99 whole characters fit.
        {Repeat(kKan, 130), Repeat(kKan, 99)},
    };
    for (const Case& c : cases) {
        Datagram d = BuildDatagram(1, kNoon, "SEND", MakeSendPayload("ME", "YOU", c.text));
        EXPECT_EQ(ReadField(d, kSendTextOffset), c.kept) << c.text.size();
        EXPECT_EQ(d.bytes[254], '\0');
    }
}

TEST(DatagramPayload, QuitCarriesOnlyTheReceiver) {
    Datagram d = BuildDatagram(1, kNoon, "QUIT", MakeQuitPayload("TARGET"));
    EXPECT_TRUE(ZeroRange(d, 23, 39));
    EXPECT_EQ(ReadField(d, kReceiverOffset), "TARGET");
    EXPECT_TRUE(ZeroRange(d, 45, kDatagramSize));
}

TEST(DatagramRecognition, FourByteCompareInDispatchOrder) {
    struct Case {
        std::string word;
        Command command;
        bool broadcast;
    } cases[] = {
        {"MEMB", Command::Memb, false},  {"INFO", Command::Info, false},
        {"SETM", Command::Setm, false},  {"GETM", Command::Getm, false},
        {"BYE", Command::Bye, false},    {"BYEZ", Command::Bye, false},
        {"BEEP", Command::Beep, false},  {"BEEPM", Command::Beep, true},
        {"BEEPX", Command::Beep, false}, {"QUIT", Command::Quit, false},
        {"SEND", Command::Send, false},  {"SENDM", Command::Send, true},
        {"SENDX", Command::Send, false}, {"MEMBX", Command::Memb, false},
        {"HELO", Command::None, false},  {"BYX", Command::None, false},
        {"memb", Command::None, false},  {"", Command::None, false},
        {"SEN", Command::None, false},
    };
    for (const Case& c : cases) {
        Datagram d = WithWord(c.word);
        EXPECT_EQ(RecognizeCommand(d), c.command) << c.word;
        EXPECT_EQ(IsBroadcastKind(d), c.broadcast) << c.word;
    }
}

TEST(DatagramRecognition, SenderAcceptsOnlyKnownPrefixes) {
    for (const char* word : {"MEMB", "INFO", "SEND", "SENDM", "SENDX", "BEEP", "BEEPM", "GETM",
                             "SETM", "QUIT", "BYE", "BYEZ"})
        EXPECT_TRUE(IsAcceptedCommandWord(word)) << word;
    for (const char* word : {"HELO", "BYX", "BY", "", "MEM", "memb", " MEMB", "SETX"})
        EXPECT_FALSE(IsAcceptedCommandWord(word)) << word;
}

TEST(DatagramRecognition, RoundTripThroughTheWire) {
    struct Case {
        std::string word;
        Payload payload;
        Command command;
    };
    InfoFields info;
    info.computerName = "PC";
    const std::vector<Case> cases = {
        {"MEMB", Payload{}, Command::Memb},
        {"INFO", MakeInfoPayload(info), Command::Info},
        {"GETM", MakeStationPayload("1", "PC"), Command::Getm},
        {"SETM", MakeSetmPayload("1", "PC", "news"), Command::Setm},
        {"BYE", MakeStationPayload("1", "PC"), Command::Bye},
        {"BEEPM", MakeBeepPayload("PC", "PEER", true), Command::Beep},
        {"SENDM", MakeSendPayload("PC", "PEER", "text"), Command::Send},
        {"QUIT", MakeQuitPayload("PEER"), Command::Quit},
    };
    for (const Case& c : cases) {
        const Datagram built = BuildDatagram(31415926, kNoon, c.word, c.payload);
        Datagram wire = built;
        Scramble(wire);
        EXPECT_NE(RecognizeCommand(wire), c.command) << c.word;
        Scramble(wire);
        EXPECT_EQ(wire.bytes, built.bytes) << c.word;
        EXPECT_EQ(RecognizeCommand(wire), c.command) << c.word;
        EXPECT_EQ(DatagramId(wire), "31415926") << c.word;
    }
}

TEST(DatagramRead, FieldsNeverReadPastTheLastByte) {
    Datagram d;
    for (std::size_t i = 200; i < kDatagramSize; ++i)
        d.bytes[i] = 'z';
    EXPECT_EQ(ReadField(d, 200), std::string(55, 'z'));
    EXPECT_EQ(ReadField(d, 254), "z");
    EXPECT_EQ(ReadField(d, 255), "");
    EXPECT_EQ(ReadField(d, 100000), "");
    EXPECT_EQ(ReadField(d, 199), "");
}

TEST(DatagramRead, ForeignInfoWithoutZerosRunsIntoTheNextField) {
    // A foreign sender may leave byte 104 non-zero; the status is then read on to the next zero.
    InfoFields info;
    info.status = std::string(20, 's');
    Datagram d = BuildDatagram(1, kNoon, "INFO", MakeInfoPayload(info));
    d.bytes[104] = '!';
    EXPECT_EQ(ReadInfo(d).status, std::string(20, 's') + "!Not support");
}

TEST(DatagramRead, TypedReadersGiveBackWhatTheBuildersLaidOut) {
    const std::string name15 = "ABCDEFGHIJKLMNO", kanji = cp932::Sjis("会議です");
    const std::string bulletin = "xy" + Repeat(kKan, 100); // 202 bytes: fills the Datagram
    struct Case {
        std::string word;
        Payload payload;
        AddressedFields addressed;
        StationFields station;
    } cases[] = {
        {"SENDM", MakeSendPayload(name15, "PEER", kanji), {name15, "PEER", kanji, false, true}},
        {"SEND",
         MakeSendPayload("PC", name15, std::string(199, 'S')),
         {"PC", name15, std::string(199, 'S'), false, false}},
        {"BEEP", MakeBeepPayload("PC", "PEER", true), {"PC", "PEER", "", true, false}},
        {"BEEPM", MakeBeepPayload("PC", "PEER", false), {"PC", "PEER", "", false, true}},
        {"QUIT", MakeQuitPayload(name15), {"", name15, "", false, false}},
        {"GETM", MakeStationPayload("192168001010", name15), {}, {"192168001010", name15, ""}},
        {"BYE", MakeStationPayload("", "PC"), {}, {"", "PC", ""}},
        {"SETM", MakeSetmPayload("1", "SRV", bulletin), {}, {"1", "SRV", bulletin}},
    };
    for (const Case& c : cases) {
        Datagram d = BuildDatagram(1, kNoon, c.word, c.payload);
        Scramble(d);
        Scramble(d);
        if (RecognizeCommand(d) == Command::Beep || RecognizeCommand(d) == Command::Send ||
            RecognizeCommand(d) == Command::Quit) {
            const AddressedFields f = ReadAddressed(d);
            EXPECT_EQ(f.sender, c.addressed.sender) << c.word;
            EXPECT_EQ(f.receiver, c.addressed.receiver) << c.word;
            EXPECT_EQ(f.text, c.addressed.text) << c.word; // a SEND of "SSS…" is no silent flag
            EXPECT_EQ(f.silent, c.addressed.silent) << c.word;
            EXPECT_EQ(f.broadcast, c.addressed.broadcast) << c.word;
        } else {
            const StationFields f = ReadStation(d);
            EXPECT_EQ(f.stationId, c.station.stationId) << c.word;
            EXPECT_EQ(f.computerName, c.station.computerName) << c.word;
            EXPECT_EQ(f.text, c.station.text) << c.word;
        }
    }
}

TEST(DatagramLoginTime, IsTwoDigitHourMinuteAndSecond) {
    EXPECT_EQ(FormatLoginTime(LocalTime{2026, 1, 2, 9, 5, 7, 999}), "09:05'07");
    EXPECT_EQ(FormatLoginTime(LocalTime{2026, 1, 2, 23, 59, 0, 0}), "23:59'00");
}
