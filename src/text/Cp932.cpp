#include "text/Cp932.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>

namespace palaverly::cp932 {
namespace {

// iconv descriptors are not thread-safe; each direction has its own guarded descriptor.
class CConverter {
public:
    CConverter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CConverter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    // Converts one unit; returns false when iconv refuses it.
    bool Convert(std::string_view in, std::string& out) {
        std::lock_guard lock(m_mutex);
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[64];
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r == static_cast<size_t>(-1) && errno != E2BIG)
                return false;
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        return true;
    }

private:
    std::mutex m_mutex;
    iconv_t m_cd;
};

// Never destroyed: the sign-off that runs from an exit handler (the display went away and Qt
// called exit) still converts texts after the static objects are gone.
CConverter& ToCp932() {
    static CConverter& c = *new CConverter("CP932", "UTF-8");
    return c;
}
CConverter& FromCp932() {
    static CConverter& c = *new CConverter("UTF-8", "CP932");
    return c;
}

// Length of the UTF-8 sequence starting with `c`, 0 when `c` cannot start one.
std::size_t Utf8Length(unsigned char c) {
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 0;
}

// JIS-style code points that input methods produce, mapped to their CP932 bytes.
struct SJisAlias {
    std::string_view utf8;
    std::string_view cp932;
};
constexpr SJisAlias kAliases[] = {
    {"\xE3\x80\x9C", "\x81\x60"}, // U+301C WAVE DASH -> FULLWIDTH TILDE
    {"\xE2\x80\x96", "\x81\x61"}, // U+2016 DOUBLE VERTICAL LINE -> PARALLEL TO
    {"\xE2\x88\x92", "\x81\x7C"}, // U+2212 MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    {"\xC2\xA2", "\x81\x91"},     // U+00A2 CENT SIGN
    {"\xC2\xA3", "\x81\x92"},     // U+00A3 POUND SIGN
    {"\xC2\xAC", "\x81\xCA"},     // U+00AC NOT SIGN
    {"\xE2\x80\x94", "\x81\x5C"}, // U+2014 EM DASH -> HORIZONTAL BAR
};

// Converts one UTF-8 character; false when it is invalid or cannot be represented.
bool ConvertChar(std::string_view ch, std::string& out) {
    for (const auto& alias : kAliases) {
        if (ch == alias.utf8) {
            out.append(alias.cp932);
            return true;
        }
    }
    if (ch.size() == 1) {
        out.push_back(ch[0]);
        return true;
    }
    return ToCp932().Convert(ch, out);
}

// Walks `utf8` character by character; calls onBad(offset) for each character that cannot
// be converted and stops when it returns false.
template <typename OnBad> std::string ConvertFromUtf8(std::string_view utf8, OnBad onBad) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t n = Utf8Length(static_cast<unsigned char>(utf8[i]));
        bool ok = n != 0 && i + n <= utf8.size();
        for (std::size_t k = 1; ok && k < n; ++k)
            ok = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
        if (!ok)
            n = 1;
        if (!ok || !ConvertChar(utf8.substr(i, n), out)) {
            if (!onBad(i, out))
                return out;
        }
        i += n;
    }
    return out;
}

} // namespace

std::size_t CharLength(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && IsLeadByte(text[pos]))
        return 2;
    return 1;
}

namespace {

// The first position from `from` on, on a character boundary, where `matches` holds.
template <typename Matches>
std::size_t FindOnCharacters(std::string_view haystack, std::string_view needle, std::size_t from,
                             Matches matches) {
    if (from > haystack.size())
        return std::string_view::npos;
    // Walk on character boundaries from the start so that `from` inside a character is
    // moved to the next boundary.
    std::size_t pos = 0;
    while (pos < from)
        pos += CharLength(haystack, pos);
    for (;;) {
        if (haystack.size() - pos < needle.size())
            return std::string_view::npos;
        if (matches(pos))
            return pos;
        if (pos >= haystack.size())
            return std::string_view::npos;
        pos += CharLength(haystack, pos);
    }
}

} // namespace

std::size_t Find(std::string_view haystack, std::string_view needle, std::size_t from) {
    return FindOnCharacters(haystack, needle, from, [&](std::size_t pos) {
        return haystack.compare(pos, needle.size(), needle) == 0;
    });
}

namespace {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares on characters of the haystack: a needle that is itself CP932 starts its double-byte
// characters in step with the haystack's, so a byte-wise fold of ASCII letters is safe once
// both are known to start on a character boundary; only single-byte characters are folded.
bool MatchesNoCaseAt(std::string_view haystack, std::size_t pos, std::string_view needle) {
    std::size_t i = 0;
    while (i < needle.size()) {
        const std::size_t n = CharLength(needle, i);
        if (CharLength(haystack, pos + i) != n)
            return false;
        if (n == 1 ? AsciiLower(haystack[pos + i]) != AsciiLower(needle[i])
                   : haystack.compare(pos + i, n, needle, i, n) != 0)
            return false;
        i += n;
    }
    return true;
}

} // namespace

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
    return FindOnCharacters(haystack, needle, from, [&](std::size_t pos) {
        return MatchesNoCaseAt(haystack, pos, needle);
    });
}

std::string CutToBytes(std::string_view text, std::size_t maxBytes) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t n = CharLength(text, pos);
        if (pos + n > maxBytes)
            break;
        pos += n;
    }
    return std::string(text.substr(0, pos));
}

std::string_view UpToNul(std::string_view text) {
    std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
    bool bad = false;
    std::string out = ConvertFromUtf8(utf8, [&](std::size_t, std::string&) {
        bad = true;
        return false;
    });
    if (bad)
        return std::nullopt;
    return out;
}

std::string FromUtf8Lossy(std::string_view utf8) {
    return ConvertFromUtf8(utf8, [](std::size_t, std::string& out) {
        out.push_back('?');
        return true;
    });
}

std::size_t FirstUnrepresentable(std::string_view utf8) {
    std::size_t first = std::string_view::npos;
    ConvertFromUtf8(utf8, [&](std::size_t offset, std::string&) {
        first = offset;
        return false;
    });
    return first;
}

std::string ToUtf8(std::string_view cp932) {
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    std::size_t i = 0;
    while (i < cp932.size()) {
        unsigned char c = static_cast<unsigned char>(cp932[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t n = IsLeadByte(c) ? 2 : 1;
        if (i + n > cp932.size() || !FromCp932().Convert(cp932.substr(i, n), out)) {
            out.append("\xEF\xBF\xBD"); // U+FFFD
            i += 1;
            continue;
        }
        i += n;
    }
    return out;
}

} // namespace palaverly::cp932
