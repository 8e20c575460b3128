#include "wire/StationId.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

using namespace palaverly;

TEST(StationId, FromDottedWritesEachOctetInThreeDigits) {
    struct Case {
        std::string dotted;
        std::string id;
    } cases[] = {{"192.168.1.10", "192168001010"},
                 {"10.0.0.1", "010000000001"},
                 {"255.255.255.255", "255255255255"},
                 {"0.0.0.0", "000000000000"},
                 {"", ""}};
    for (const Case& c : cases)
        EXPECT_EQ(StationIdFromDotted(c.dotted), c.id) << c.dotted;
}

TEST(StationId, FromAddressMatchesTheDottedForm) {
    struct Case {
        std::uint32_t address;
        std::string id;
    } cases[] = {{0xC0A8010Au, "192168001010"},
                 {0x0A000001u, "010000000001"},
                 {0xFFFFFFFFu, "255255255255"},
                 {0u, "000000000000"}};
    for (const Case& c : cases)
        EXPECT_EQ(StationIdFromAddress(c.address), c.id) << c.address;
}

TEST(StationId, DisplayRightAlignsEachNumberOrKeepsDottedText) {
    struct Case {
        std::string received;
        std::string shown;
    } cases[] = {
        {"192168001010", "192.168.  1. 10"},
        {"010000000001", " 10.  0.  0.  1"},
        {"255255255255", "255.255.255.255"},
        // A peer that sends the dotted form is shown exactly as it sent it.
        {"192.168.1.10", "192.168.1.10"},
        {"10.0.0.1", "10.0.0.1"},
        {"", ""},
        // A short text never reads beyond its end: missing groups count as 0.
        {"19216", "192. 16.  0.  0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StationIdDisplay(c.received), c.shown) << c.received;
}
