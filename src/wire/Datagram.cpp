#include "wire/Datagram.h"

#include "text/Cp932.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace palaverly {
namespace {

// Lays `text` (up to its first zero, cut on a character boundary to `maxBytes`) at a Datagram
// offset of the payload.
void PutField(Payload& payload, std::size_t datagramOffset, std::string_view text,
              std::size_t maxBytes) {
    const std::string cut = cp932::CutToBytes(cp932::UpToNul(text), maxBytes);
    std::memcpy(payload.data() + (datagramOffset - kPayloadOffset), cut.data(), cut.size());
}

// The value reduced into [0, modulus) so that a "%0Nd" field keeps its width.
int Wrap(int value, int modulus) {
    const int r = value % modulus;
    return r < 0 ? r + modulus : r;
}

bool WordIs(const Datagram& datagram, const char* word, std::size_t length) {
    return std::memcmp(datagram.bytes.data() + kCommandOffset, word, length) == 0;
}

} // namespace

Payload MakeInfoPayload(const InfoFields& fields) {
    Payload payload{};
    PutField(payload, kInfoStationIdOffset, fields.stationId, kInfoStationIdSize - 1);
    PutField(payload, kInfoComputerOffset, fields.computerName, kInfoComputerSize - 1);
    PutField(payload, kInfoHandleOffset, fields.handleName, kInfoHandleSize - 1);
    PutField(payload, kInfoVersionOffset, fields.version, kInfoVersionSize - 1);
    PutField(payload, kInfoStatusOffset, fields.status, kInfoStatusSize);
    PutField(payload, kInfoCommentOffset, fields.comment, kInfoCommentSize - 1);
    PutField(payload, kInfoLoginTimeOffset, fields.loginTime, kInfoLoginTimeSize - 1);
    return payload;
}

Payload MakeStationPayload(std::string_view stationId, std::string_view computerName) {
    Payload payload{};
    PutField(payload, kStationIdOffset, stationId, kStationIdSize - 1);
    PutField(payload, kComputerOffset, computerName, kComputerSize - 1);
    return payload;
}

Payload MakeSetmPayload(std::string_view stationId, std::string_view computerName,
                        std::string_view text) {
    Payload payload = MakeStationPayload(stationId, computerName);
    PutField(payload, kSetmTextOffset, text, kSetmTextSize);
    return payload;
}

Payload MakeBeepPayload(std::string_view sender, std::string_view receiver, bool silent) {
    Payload payload{};
    PutField(payload, kSenderOffset, sender, kSenderSize - 1);
    PutField(payload, kReceiverOffset, receiver, kReceiverSize - 1);
    char* flag = payload.data() + (kSilentFlagOffset - kPayloadOffset);
    std::memset(flag, ' ', kSilentFlagSize);
    flag[0] = silent ? 'S' : 'N';
    return payload;
}

Payload MakeSendPayload(std::string_view sender, std::string_view receiver, std::string_view text) {
    Payload payload{};
    PutField(payload, kSenderOffset, sender, kSenderSize - 1);
    PutField(payload, kReceiverOffset, receiver, kReceiverSize - 1);
    PutField(payload, kSendTextOffset, text, kSendTextSize - 1);
    return payload;
}

Payload MakeQuitPayload(std::string_view receiver) {
    Payload payload{};
    PutField(payload, kReceiverOffset, receiver, kReceiverSize - 1);
    return payload;
}

bool IsAcceptedCommandWord(std::string_view word) {
    static constexpr std::string_view kFourLetter[] = {"MEMB", "INFO", "SEND", "BEEP",
                                                       "GETM", "SETM", "QUIT"};
    for (std::string_view accepted : kFourLetter) {
        if (word.substr(0, 4) == accepted)
            return true;
    }
    return word.substr(0, 3) == "BYE";
}

Datagram BuildDatagram(int id, const LocalTime& time, std::string_view word, const char* payload) {
    Datagram datagram;
    const std::string shortWord(cp932::UpToNul(word.substr(0, kCommandSize)));
    char header[64];
    const int length =
        std::snprintf(header, sizeof header, "%08d%02d%02d%02d%04d%.5s", Wrap(id, 100000000),
                      Wrap(time.hour, 100), Wrap(time.minute, 100), Wrap(time.second, 100),
                      Wrap(time.millisecond, 10000), shortWord.c_str());
    std::memcpy(
        datagram.bytes.data(), header,
        std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), kPayloadOffset));
    if (payload != nullptr)
        std::memcpy(datagram.bytes.data() + kPayloadOffset, payload, kPayloadSize);
    return datagram;
}

void Scramble(char* bytes) {
    for (std::size_t i = 0; i < kDatagramSize; ++i)
        bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ ((i + 128) % 256));
}

void Scramble(Datagram& datagram) {
    Scramble(datagram.bytes.data());
}

Command RecognizeCommand(const Datagram& datagram) {
    if (WordIs(datagram, "MEMB", 4))
        return Command::Memb;
    if (WordIs(datagram, "INFO", 4))
        return Command::Info;
    if (WordIs(datagram, "SETM", 4))
        return Command::Setm;
    if (WordIs(datagram, "GETM", 4))
        return Command::Getm;
    if (WordIs(datagram, "BYE", 3))
        return Command::Bye;
    if (WordIs(datagram, "BEEP", 4))
        return Command::Beep;
    if (WordIs(datagram, "QUIT", 4))
        return Command::Quit;
    if (WordIs(datagram, "SEND", 4))
        return Command::Send;
    return Command::None;
}

bool IsBroadcastKind(const Datagram& datagram) {
    return WordIs(datagram, "BEEPM", 5) || WordIs(datagram, "SENDM", 5);
}

std::string ReadField(const Datagram& datagram, std::size_t offset) {
    if (offset >= kDatagramSize)
        return {};
    const char* begin = datagram.bytes.data() + offset;
    const char* end = datagram.bytes.data() + kDatagramSize;
    return std::string(begin, std::find(begin, end, '\0'));
}

InfoFields ReadInfo(const Datagram& datagram) {
    InfoFields fields;
    fields.stationId = ReadField(datagram, kInfoStationIdOffset);
    fields.computerName = ReadField(datagram, kInfoComputerOffset);
    fields.handleName = ReadField(datagram, kInfoHandleOffset);
    fields.version = ReadField(datagram, kInfoVersionOffset);
    fields.status = ReadField(datagram, kInfoStatusOffset);
    fields.comment = ReadField(datagram, kInfoCommentOffset);
    fields.loginTime = ReadField(datagram, kInfoLoginTimeOffset);
    return fields;
}

AddressedFields ReadAddressed(const Datagram& datagram) {
    AddressedFields fields;
    const Command command = RecognizeCommand(datagram);
    fields.receiver = ReadField(datagram, kReceiverOffset);
    if (command == Command::Quit)
        return fields;
    fields.sender = ReadField(datagram, kSenderOffset);
    fields.broadcast = IsBroadcastKind(datagram);
    // The silent flag and the message share offset 55: a text "Sure" is no silent alert.
    if (command == Command::Beep)
        fields.silent = SilentFlagSet(datagram);
    else if (command == Command::Send)
        fields.text = ReadField(datagram, kSendTextOffset);
    return fields;
}

StationFields ReadStation(const Datagram& datagram) {
    StationFields fields;
    fields.stationId = ReadField(datagram, kStationIdOffset);
    fields.computerName = ReadField(datagram, kComputerOffset);
    if (RecognizeCommand(datagram) == Command::Setm)
        fields.text = ReadField(datagram, kSetmTextOffset);
    return fields;
}

bool SilentFlagSet(const Datagram& datagram) {
    return datagram.bytes[kSilentFlagOffset] == 'S';
}

std::string DatagramId(const Datagram& datagram) {
    return std::string(datagram.bytes.data() + kIdOffset, kIdSize);
}

std::string FormatLoginTime(const LocalTime& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d'%02d", time.hour, time.minute, time.second);
    return text;
}

} // namespace palaverly
