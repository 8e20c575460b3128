#include "station/CTicker.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace palaverly;

namespace {
const std::string kSquare = "\x81\xA1"; // ■
const std::string kKan = "\x8A\xBF";    // 漢 (double-byte)
const std::string kTa = "\x83\x5E";     // タ: its trail byte is 'A'-range ASCII ('^')

// Steps `ticker` `count` times and records what each tick returned.
std::vector<std::optional<std::string>> Tick(CTicker& ticker, int count) {
    std::vector<std::optional<std::string>> shown;
    for (int i = 0; i < count; ++i)
        shown.push_back(ticker.Step());
    return shown;
}
} // namespace

TEST(Ticker, HoldsAtStartAndAtSquareThenWraps) {
    const std::string text = "AB" + kSquare + "D";
    CTicker ticker(text);
    auto shown = Tick(ticker, 56);

    // What each tick returns; every tick not listed leaves the display unchanged.
    const std::map<int, std::string> expected = {
        {1, text},
        {13, "B" + kSquare + "D"},
        {14, kSquare + "D"},
        {27, "D"},
        {28, ""},
        {29, text},
        {30, text}, // back at the start with the hold count still 0: shown once more
        {42, "B" + kSquare + "D"},
        {43, kSquare + "D"},
        {56, "D"}};
    for (int tick = 1; tick <= 56; ++tick) {
        auto it = expected.find(tick);
        auto want = it == expected.end() ? std::nullopt : std::optional<std::string>(it->second);
        EXPECT_EQ(shown[tick - 1], want) << "tick " << tick;
    }
}

TEST(Ticker, NeverSplitsADoubleByteCharacter) {
    // 漢 and タ as the first characters: each move must step over both of their bytes.
    const std::string text = kKan + kTa + "x";
    CTicker ticker(text);
    auto shown = Tick(ticker, 16);
    EXPECT_EQ(shown[0], text);
    EXPECT_EQ(shown[12], kTa + "x");
    EXPECT_EQ(shown[13], "x");
    EXPECT_EQ(shown[14], "");
    EXPECT_EQ(shown[15], text);
    EXPECT_EQ(ticker.Position(), 0u);
}

TEST(Ticker, EmptyTextShowsEmptyAndKeepsCycling) {
    CTicker ticker;
    auto shown = Tick(ticker, 14);
    EXPECT_EQ(shown[0], "");
    EXPECT_EQ(shown[12], ""); // tick 13 moves past the end and wraps at once
    EXPECT_EQ(shown[13], "");
    EXPECT_EQ(ticker.Position(), 0u);
}

TEST(Ticker, PositionBeyondNewShorterTextRestartsFromTheStart) {
    CTicker ticker("ABCDEFGH");
    Tick(ticker, 17); // moved 5 characters
    ASSERT_EQ(ticker.Position(), 5u);
    ticker.SetText("XY");
    EXPECT_EQ(ticker.Step(), std::optional<std::string>("XY"));
    EXPECT_EQ(ticker.Position(), 0u);
    // Back at the start: a full hold follows, counted from the wrap.
    EXPECT_EQ(ticker.Step(), std::optional<std::string>("XY"));
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(ticker.Step(), std::nullopt);
    EXPECT_EQ(ticker.Step(), std::optional<std::string>("Y"));
}

TEST(Ticker, NewTextKeepsPositionAndHoldCount) {
    CTicker ticker("ABCDEF");
    Tick(ticker, 14); // showing "CDEF"
    ASSERT_EQ(ticker.Position(), 2u);
    ticker.SetText("abcdef");
    EXPECT_EQ(ticker.Step(), std::optional<std::string>("def"));
    // Still inside the first hold at the start: a new text changes nothing of the count.
    CTicker holding("ABC");
    Tick(holding, 6);
    holding.SetText("XYZ");
    auto shown = Tick(holding, 7);
    EXPECT_EQ(shown[5], std::nullopt);
    EXPECT_EQ(shown[6], std::optional<std::string>("YZ"));
}

TEST(Ticker, PositionInsideADoubleByteCharacterOfANewTextMovesToTheNextCharacter) {
    CTicker ticker("ABCDEF");
    Tick(ticker, 13); // position 1
    ASSERT_EQ(ticker.Position(), 1u);
    // Offset 1 is now the trail byte of 漢; scrolling from there would show broken text.
    ticker.SetText(kKan + kTa + kKan);
    EXPECT_EQ(ticker.Position(), 2u);
    EXPECT_EQ(ticker.Step(), std::optional<std::string>(kKan));
    EXPECT_EQ(ticker.Step(), std::optional<std::string>(""));
}

TEST(Ticker, SquareAtTheStartHoldsOnlyOnce) {
    // The start hold covers the ■ at offset 0; after moving on there is no second hold there.
    const std::string text = kSquare + "Z";
    CTicker ticker(text);
    auto shown = Tick(ticker, 14);
    EXPECT_EQ(shown[0], text);
    EXPECT_EQ(shown[12], "Z");
    EXPECT_EQ(shown[13], "");
}

TEST(Ticker, ConsecutiveSquaresEachHold) {
    const std::string text = "A" + kSquare + kSquare;
    CTicker ticker(text);
    auto shown = Tick(ticker, 40);
    EXPECT_EQ(shown[12], kSquare + kSquare); // tick 13
    for (int i = 13; i < 25; ++i)
        EXPECT_EQ(shown[i], std::nullopt) << "tick " << i + 1;
    EXPECT_EQ(shown[25], kSquare); // tick 26
    for (int i = 26; i < 38; ++i)
        EXPECT_EQ(shown[i], std::nullopt) << "tick " << i + 1;
    EXPECT_EQ(shown[38], "");   // tick 39
    EXPECT_EQ(shown[39], text); // tick 40
}
