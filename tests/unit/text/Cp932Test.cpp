#include "text/Cp932.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace palaverly;

namespace {
// "■" (0x81A1), "漢" (0x8ABF), half-width katakana "ｱ" (0xB1).
const std::string kSquare = "\x81\xA1";
const std::string kKan = "\x8A\xBF";
const std::string kKataA = "\xB1";
} // namespace

TEST(Cp932LeadByte, Ranges) {
    struct Case {
        unsigned char byte;
        bool lead;
    } cases[] = {{0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false}, {0xB1, false},
                 {0xDF, false}, {0xE0, true}, {0xFC, true}, {0xFD, false}, {'A', false}};
    for (auto c : cases)
        EXPECT_EQ(cp932::IsLeadByte(c.byte), c.lead) << int(c.byte);
}

TEST(Cp932Find, NeverMatchesOnATrailByte) {
    // "\x83\x41" is katakana "ア"; its trail byte 0x41 is 'A' and must not be found.
    std::string text = "\x83\x41"
                       "B";
    EXPECT_EQ(cp932::Find(text, "A"), std::string_view::npos);
    EXPECT_EQ(cp932::Find(text, "B"), 2u);
    EXPECT_EQ(cp932::Find("xA", "A"), 1u);
    // A trail byte equal to a lead byte: "\x81\x81" twice, search for "\x81\x81" at 1 is wrong.
    std::string doubled = "\x81\x81\x81\x81";
    EXPECT_EQ(cp932::Find(doubled, "\x81\x81", 1), 2u);
    EXPECT_TRUE(cp932::Contains("PC10", "PC1"));
    EXPECT_TRUE(cp932::Contains("abc", ""));
    EXPECT_FALSE(cp932::Contains("", "a"));
    EXPECT_EQ(cp932::Find(kKataA + kSquare + "D", kSquare), 1u);
}

TEST(Cp932Find, NoCaseFoldsAsciiLettersOnly) {
    // "ソ" is 0x83 0x5C and "連" 0x98 0x41: neither holds a backslash or an "a".
    const std::string so = "\x83\x5C", ren = "\x98\x41";
    EXPECT_EQ(cp932::FindNoCase(so + ren + "xA", "\\"), std::string_view::npos);
    EXPECT_EQ(cp932::FindNoCase(so + ren + "xA", "a"), 5u);
    EXPECT_EQ(cp932::FindNoCase(so + ren, ren), 2u);
    EXPECT_TRUE(cp932::ContainsNoCase("Lunch at NOON", "noon"));
    // The lead byte of a needle's character must not pair with the haystack's next byte.
    EXPECT_FALSE(cp932::ContainsNoCase("a" + kKan, "a\x8A"));
    EXPECT_FALSE(cp932::ContainsNoCase("", "a"));
}

TEST(Cp932Cut, NeverSplitsADoubleByteCharacter) {
    std::string text = "A" + kKan + kKan; // 5 bytes
    EXPECT_EQ(cp932::CutToBytes(text, 0), "");
    EXPECT_EQ(cp932::CutToBytes(text, 1), "A");
    EXPECT_EQ(cp932::CutToBytes(text, 2), "A");
    EXPECT_EQ(cp932::CutToBytes(text, 3), "A" + kKan);
    EXPECT_EQ(cp932::CutToBytes(text, 4), "A" + kKan);
    EXPECT_EQ(cp932::CutToBytes(text, 5), text);
    EXPECT_EQ(cp932::CutToBytes(text, 99), text);
    // Half-width katakana are single bytes.
    EXPECT_EQ(cp932::CutToBytes(kKataA + kKataA + kKataA, 2), kKataA + kKataA);
    // A lone lead byte at the end counts as one byte.
    EXPECT_EQ(cp932::CutToBytes("A\x81", 2), "A\x81");
}

TEST(Cp932Convert, RoundTripsJapaneseText) {
    struct Case {
        const char* utf8;
        std::string cp932;
    } cases[] = {
        {"ﾕｰｻﾞｰ情報", "\xD5\xB0\xBB\xDE\xB0\x8F\xEE\x95\xF1"},
        {"■", kSquare},
        {"漢", kKan},
        {"～", "\x81\x60"}, // U+FF5E, the Microsoft mapping of 0x8160
        {"①", "\x87\x40"},  // NEC extension
        {"髙", "\xFB\xFC"}, // IBM extension
        {"abc\tdef", "abc\tdef"},
    };
    for (const auto& c : cases) {
        auto sjis = cp932::FromUtf8(c.utf8);
        ASSERT_TRUE(sjis.has_value()) << c.utf8;
        EXPECT_EQ(*sjis, c.cp932) << c.utf8;
        EXPECT_EQ(cp932::ToUtf8(c.cp932), c.utf8);
    }
}

TEST(Cp932Convert, AcceptsJisStyleCodePointsFromInputMethods) {
    EXPECT_EQ(cp932::FromUtf8("〜"), std::string("\x81\x60")); // U+301C
    EXPECT_EQ(cp932::FromUtf8("‖"), std::string("\x81\x61"));  // U+2016
    EXPECT_EQ(cp932::FromUtf8("−"), std::string("\x81\x7C"));  // U+2212
    EXPECT_EQ(cp932::FromUtf8("¢£¬"), std::string("\x81\x91\x81\x92\x81\xCA"));
    EXPECT_EQ(cp932::FromUtf8("—"), std::string("\x81\x5C")); // U+2014
}

TEST(Cp932Convert, ReportsUnrepresentableCharacters) {
    EXPECT_FALSE(cp932::FromUtf8("a😀b").has_value());
    EXPECT_FALSE(cp932::FromUtf8("é").has_value());
    EXPECT_EQ(cp932::FirstUnrepresentable("ab😀"), 2u);
    EXPECT_EQ(cp932::FirstUnrepresentable("日本語"), std::string_view::npos);
    EXPECT_EQ(cp932::FromUtf8Lossy("a😀b"), "a?b");
    // Invalid UTF-8 is refused too.
    EXPECT_FALSE(cp932::FromUtf8("\xC3").has_value());
}

TEST(Cp932Convert, InvalidBytesFromTheWireBecomeReplacementCharacters) {
    // A lone lead byte at the end, an invalid trail byte, an undefined single byte.
    EXPECT_EQ(cp932::ToUtf8("A\x81"), "A\xEF\xBF\xBD");
    EXPECT_EQ(cp932::ToUtf8("\x81\x20Z"), "\xEF\xBF\xBD Z");
    EXPECT_EQ(cp932::ToUtf8("\xFF"
                            "B" +
                            kSquare),
              "\xEF\xBF\xBD"
              "B■");
    // Conversion goes on past a zero byte and never truncates.
    EXPECT_EQ(cp932::ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// The sign-off after a lost display runs from an exit handler, after the static objects made
// since that handler was registered are gone; the converters must still work then. A fresh
// process (the thread-safe death test runs this test alone) makes them only after.
TEST(Cp932Convert, WorksFromAnExitHandler) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit([] {
                const auto sjis = cp932::FromUtf8("ソ表");
                const bool ok =
                    sjis && *sjis == "\x83\x5C\x95\x5C" && cp932::ToUtf8(*sjis) == "ソ表";
                std::fputs(ok ? "converted\n" : "broken\n", stderr);
            });
            (void)cp932::ToUtf8(*cp932::FromUtf8("テスト"));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "converted");
}
