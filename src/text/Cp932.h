#pragma once
// Shift-JIS (Windows code page 932) helpers. Every text of the core is a CP932 byte string;
// conversion to UTF-8 happens only at the user-interface edge and in the settings file.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace palaverly::cp932 {

/// True for a byte that starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
constexpr bool IsLeadByte(char c) {
    return IsLeadByte(static_cast<unsigned char>(c));
}

/// Length in bytes of the character that starts at `pos` (1 or 2; 1 for a lead byte at the end).
std::size_t CharLength(std::string_view text, std::size_t pos);

/// First position at or after `from` where `needle` occurs and that starts on a character
/// boundary (never on a trail byte); std::string_view::npos when there is none.
/// An empty needle is found at `from` (when `from` <= size).
std::size_t Find(std::string_view haystack, std::string_view needle, std::size_t from = 0);

/// Double-byte-aware containment; an empty needle is contained in every text.
inline bool Contains(std::string_view haystack, std::string_view needle) {
    return Find(haystack, needle) != std::string_view::npos;
}

/// Like Find, but ASCII letters match regardless of case (the letters of double-byte
/// characters, such as full-width ones, are compared as they are). A trail byte that equals
/// an ASCII byte (the 0x5C of ソ, the 0x41 of 連) is never taken for one.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);

inline bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    return FindNoCase(haystack, needle) != std::string_view::npos;
}

/// The longest prefix of `text` of at most `maxBytes` bytes that does not split a
/// double-byte character.
std::string CutToBytes(std::string_view text, std::size_t maxBytes);

/// The text up to (not including) its first zero byte.
std::string_view UpToNul(std::string_view text);

/// UTF-8 to CP932. Accepts the JIS-style code points that Linux and macOS input methods
/// produce (U+301C, U+2016, U+2212, U+00A2, U+00A3, U+00AC, U+2014) for the characters that
/// CP932 maps elsewhere. Gives std::nullopt when a character cannot be represented or the
/// input is not valid UTF-8, so that callers never send something other than what was typed.
std::optional<std::string> FromUtf8(std::string_view utf8);

/// Like FromUtf8, but replaces each character that cannot be represented by '?'.
std::string FromUtf8Lossy(std::string_view utf8);

/// The first character of `utf8` (as a UTF-8 byte offset) that CP932 cannot represent;
/// npos when every character can be.
std::size_t FirstUnrepresentable(std::string_view utf8);

/// A text of the program's own (a UTF-8 literal in the source) as CP932; for captions,
/// defaults and wire words that are known to be representable.
inline std::string Sjis(std::string_view utf8) {
    return FromUtf8Lossy(utf8);
}

/// CP932 to UTF-8. Bytes that are not valid CP932 become U+FFFD; conversion never stops
/// early and never fails.
std::string ToUtf8(std::string_view cp932);

} // namespace palaverly::cp932
