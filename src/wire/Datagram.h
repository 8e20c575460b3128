#pragma once
// The 255-byte packet every station broadcasts: a 23-byte text header, a payload of fixed-offset
// zero-terminated CP932 fields per command, and a position-dependent XOR over all of it.
// Offsets below are from the start of the Datagram; payload offset = Datagram offset - 23.

#include "sys/Clock.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace palaverly {

inline constexpr std::size_t kDatagramSize = 255;
inline constexpr std::size_t kPayloadOffset = 23;
inline constexpr std::size_t kPayloadSize = kDatagramSize - kPayloadOffset; // 232

// Header: "%08d%02d%02d%02d%04d%.5s".
inline constexpr std::size_t kIdOffset = 0;
inline constexpr std::size_t kIdSize = 8;
inline constexpr std::size_t kHourOffset = 8;
inline constexpr std::size_t kMinuteOffset = 10;
inline constexpr std::size_t kSecondOffset = 12;
inline constexpr std::size_t kMillisecondOffset = 14;
inline constexpr std::size_t kCommandOffset = 18;
inline constexpr std::size_t kCommandSize = 5;

// INFO.
inline constexpr std::size_t kInfoStationIdOffset = 23;
inline constexpr std::size_t kInfoStationIdSize = 13;
inline constexpr std::size_t kInfoComputerOffset = 36;
inline constexpr std::size_t kInfoComputerSize = 16;
inline constexpr std::size_t kInfoHandleOffset = 52;
inline constexpr std::size_t kInfoHandleSize = 21;
inline constexpr std::size_t kInfoVersionOffset = 73;
inline constexpr std::size_t kInfoVersionSize = 11;
inline constexpr std::size_t kInfoStatusOffset = 84;
inline constexpr std::size_t kInfoStatusSize = 20; // followed by byte 104, always zero
inline constexpr std::size_t kInfoCommentOffset = 105;
inline constexpr std::size_t kInfoCommentSize = 21;
inline constexpr std::size_t kInfoLoginTimeOffset = 126;
inline constexpr std::size_t kInfoLoginTimeSize = 9;

// GETM, BYE and SETM.
inline constexpr std::size_t kStationIdOffset = 23;
inline constexpr std::size_t kStationIdSize = 13;
inline constexpr std::size_t kComputerOffset = 36;
inline constexpr std::size_t kComputerSize = 16;
inline constexpr std::size_t kSetmTextOffset = 52;
inline constexpr std::size_t kSetmTextSize = kDatagramSize - kSetmTextOffset; // 203, no zero needed

// BEEP/BEEPM, SEND/SENDM and QUIT.
inline constexpr std::size_t kSenderOffset = 23;
inline constexpr std::size_t kSenderSize = 16;
inline constexpr std::size_t kReceiverOffset = 39;
inline constexpr std::size_t kReceiverSize = 16;
inline constexpr std::size_t kSilentFlagOffset = 55;
inline constexpr std::size_t kSilentFlagSize = 15; // "S" or "N" and 14 spaces, no zero
inline constexpr std::size_t kSendTextOffset = 55;
inline constexpr std::size_t kSendTextSize = kDatagramSize - kSendTextOffset; // 200

/// The version string every station announces in INFO.
inline constexpr std::string_view kVersionString = "060R-003";
/// The comment every station announces in INFO.
inline constexpr std::string_view kInfoComment = "Not support";

/// One Datagram, scrambled or not; bytes the fields do not cover are zero before scrambling.
struct Datagram {
    std::array<char, kDatagramSize> bytes{};
};

/// The payload a builder lays out: Datagram bytes 23-254, zero-filled.
using Payload = std::array<char, kPayloadSize>;

/// The commands a receiver tells apart.
enum class Command { None, Memb, Info, Setm, Getm, Bye, Beep, Quit, Send };

/// The identity fields of INFO, for building and for reading. All texts are CP932.
struct InfoFields {
    std::string stationId;
    std::string computerName;
    std::string handleName;
    std::string version = std::string(kVersionString);
    std::string status;
    std::string comment = std::string(kInfoComment);
    std::string loginTime;
};

/// The fields of SEND/SENDM, BEEP/BEEPM and QUIT as a receiver reads them. All texts are CP932.
struct AddressedFields {
    std::string sender;     ///< computer name at 23; empty for QUIT, which carries none
    std::string receiver;   ///< computer name at 39
    std::string text;       ///< SEND and SENDM: the message at 55; empty otherwise
    bool silent = false;    ///< BEEP and BEEPM: the flag at 55 begins with "S"
    bool broadcast = false; ///< the word is exactly "SENDM" or "BEEPM" (kind "broadcast")
};

/// The fields of GETM, BYE and SETM as a receiver reads them. All texts are CP932.
struct StationFields {
    std::string stationId;    ///< at 23
    std::string computerName; ///< at 36
    std::string text;         ///< SETM: the bulletin at 52, up to the end; empty otherwise
};

/// INFO payload. Each text is cut (never inside a double-byte character) so that a zero ends
/// it within its field; the status takes up to all 20 bytes and byte 104 ends it.
Payload MakeInfoPayload(const InfoFields& fields);

/// GETM and BYE payload: StationId at 23, computer name at 36.
Payload MakeStationPayload(std::string_view stationId, std::string_view computerName);

/// SETM payload: StationId at 23, computer name at 36, bulletin text at 52. A text of 203
/// bytes or more fills the Datagram to its end and then has no terminating zero.
Payload MakeSetmPayload(std::string_view stationId, std::string_view computerName,
                        std::string_view text);

/// BEEP and BEEPM payload: sender at 23, receiver at 39, silent flag ("S" or "N" and 14 spaces,
/// no zero byte) at 55.
Payload MakeBeepPayload(std::string_view sender, std::string_view receiver, bool silent);

/// SEND and SENDM payload: sender at 23, receiver at 39, text at 55 (at most 199 bytes, so it
/// always ends with a zero inside the Datagram).
Payload MakeSendPayload(std::string_view sender, std::string_view receiver, std::string_view text);

/// QUIT payload: receiver at 39.
Payload MakeQuitPayload(std::string_view receiver);

/// The sender's acceptance rule: the first 4 bytes are "MEMB", "INFO", "SEND", "BEEP", "GETM",
/// "SETM" or "QUIT", or the first 3 bytes are "BYE". Longer words ("SENDM") pass by their prefix.
bool IsAcceptedCommandWord(std::string_view word);

/// An unscrambled Datagram: header "%08d%02d%02d%02d%04d%.5s" from `id` (0..99999999), the
/// time and `word`, then `payload` (232 bytes; null means all zero) from byte 23 on. Values out
/// of their field's range are reduced so that the header never shifts the fields.
Datagram BuildDatagram(int id, const LocalTime& time, std::string_view word, const char* payload);
inline Datagram BuildDatagram(int id, const LocalTime& time, std::string_view word,
                              const Payload& payload) {
    return BuildDatagram(id, time, word, payload.data());
}

/// XORs byte i with (i + 128) mod 256; applying it twice gives back the original.
void Scramble(Datagram& datagram);
/// The same operation on a raw 255-byte buffer.
void Scramble(char* bytes);

/// Recognises the command of an unscrambled Datagram by 4-byte comparisons at offset 18 in the
/// order MEMB, INFO, SETM, GETM, BYE (3 bytes), BEEP, QUIT, SEND; further bytes are not examined,
/// so "BEEPM" gives Beep and "SENDM" gives Send.
Command RecognizeCommand(const Datagram& datagram);

/// True when the word at offset 18 is exactly "BEEPM" or "SENDM" (5 bytes): the chat log's kind
/// "broadcast" rather than "personal".
bool IsBroadcastKind(const Datagram& datagram);

/// The zero-terminated text at `offset`, ending at the first zero byte or at the end of the
/// Datagram, never beyond; empty for an offset outside the Datagram.
std::string ReadField(const Datagram& datagram, std::size_t offset);

/// The INFO fields as a receiver reads them (each from its offset to the first zero).
InfoFields ReadInfo(const Datagram& datagram);

/// The fields the addressed command of `datagram` carries, each from its offset to the first
/// zero (or the end of the Datagram); the command is told by RecognizeCommand.
AddressedFields ReadAddressed(const Datagram& datagram);

/// The fields of GETM, BYE or SETM, each from its offset to the first zero (or the end).
StationFields ReadStation(const Datagram& datagram);

/// True when the BEEP silent flag at offset 55 begins with "S".
bool SilentFlagSet(const Datagram& datagram);

/// The datagram id: the first 8 bytes, exactly as received.
std::string DatagramId(const Datagram& datagram);

/// The login time text "%02d:%02d'%02d" of a moment.
std::string FormatLoginTime(const LocalTime& time);

} // namespace palaverly
