#pragma once
// A chat log with logging on, writing its daily log file into a fresh temporary folder.

#include "RosterTestSupport.h"
#include "settings/COptionValues.h"
#include "station/CChatLog.h"
#include "station/CDailyLogFile.h"
#include "table/CMarkList.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace palaverly::test {

class CChatLogFixture : public ::testing::Test {
protected:
    CChatLogFixture()
        : m_file(m_options, m_clock.now, m_clock.AsClock()),
          m_log(ByteWidth, m_options, m_file, m_clock.AsClock(),
                [] { return std::string("Taro"); }) {
        m_options.m_flgLogOutput = 1;
        m_options.m_logSavePath = m_dir.Path().string();
    }

    std::filesystem::path LogPath() const { return m_dir.Path() / m_file.FileName(); }
    std::string FileBytes() const { return ReadWholeFile(LogPath()); }

    CTempDir m_dir;
    CFixedClock m_clock;
    COptionValues m_options;
    CDailyLogFile m_file;
    CChatLog m_log;
    CMarkList& m_list = m_log.List();
};

} // namespace palaverly::test
