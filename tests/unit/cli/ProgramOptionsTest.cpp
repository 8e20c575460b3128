#include "cli/ProgramOptions.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

using namespace palaverly;

namespace {

ProgramOptions Parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"palaverly"};
    argv.insert(argv.end(), args);
    argv.push_back(nullptr);
    return ParseProgramOptions(static_cast<int>(argv.size() - 1), argv.data());
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        else
            m_hadNone = true;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (m_hadNone)
            ::unsetenv(m_name);
        else
            ::setenv(m_name, m_old.c_str(), 1);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_hadNone = false;
};

} // namespace

TEST(ProgramOptions, InformationOptionsAreRecognisedOnlyAsTheFirstArgument) {
    EXPECT_EQ(Parse({"--help"}).action, ProgramAction::ShowHelp);
    EXPECT_EQ(Parse({"-h"}).action, ProgramAction::ShowHelp);
    EXPECT_EQ(Parse({"--version"}).action, ProgramAction::ShowVersion);
    EXPECT_EQ(Parse({"--help", "5"}).action, ProgramAction::ShowHelp);

    // Only the first argument was ever read: behind a number the option is ignored.
    ProgramOptions late = Parse({"5", "--help"});
    EXPECT_EQ(late.action, ProgramAction::Run);
    EXPECT_EQ(late.port, 8005);
}

TEST(ProgramOptions, EveryOtherFirstArgumentFollowsTheNumberRule) {
    EXPECT_EQ(Parse({}).port, 8000);
    EXPECT_EQ(Parse({"5"}).port, 8005);
    EXPECT_EQ(Parse({"12abc"}).port, 8012);
    EXPECT_EQ(Parse({"-3"}).port, 7997);
    EXPECT_EQ(Parse({"abc"}).port, 8000);
    EXPECT_EQ(Parse({""}).port, 8000);
    // Near misses of the options are texts without a number, not requests for help.
    for (const char* text : {"--helpme", "-help", "--Version", "-v", "help", "-V"}) {
        ProgramOptions options = Parse({text});
        EXPECT_EQ(options.action, ProgramAction::Run) << text;
        EXPECT_EQ(options.port, 8000) << text;
    }
    // Low 16 bits, as the Windows stations kept: 8000 + 57536 wraps to 0.
    EXPECT_EQ(Parse({"57537"}).port, 1);
}

TEST(ProgramOptions, VersionNamesTheStationVersionAndTheBuild) {
    EXPECT_STREQ(BuildVersion(), PALAVERLY_PROJECT_VERSION);
    EXPECT_EQ(VersionText(ProgramKind::Desktop),
              std::string("palaverly 060R-003 (Palaverly ") + PALAVERLY_PROJECT_VERSION + ")\n");
    EXPECT_EQ(VersionText(ProgramKind::Headless).rfind("palaverlyd 060R-003 (Palaverly ", 0), 0u);
}

TEST(ProgramOptions, HelpNamesThePortRuleTheFilesAsTheyResolveAndTheManualPage) {
    ScopedEnv config("XDG_CONFIG_HOME", "/tmp/cfg-for-help");
    ScopedEnv data("XDG_DATA_HOME", "/tmp/data-for-help");
    for (ProgramKind kind : {ProgramKind::Desktop, ProgramKind::Headless}) {
        const std::string name = kind == ProgramKind::Desktop ? "palaverly" : "palaverlyd";
        const std::string help = HelpText(kind);
        EXPECT_EQ(help.rfind("Usage: " + name + " [N]\n", 0), 0u) << help;
        EXPECT_NE(help.find("UDP port 8000 + N"), std::string::npos) << help;
        EXPECT_NE(help.find("/tmp/cfg-for-help/Quillmark/palaverly.conf"), std::string::npos)
            << help;
        EXPECT_NE(help.find("/tmp/data-for-help/palaverly"), std::string::npos) << help;
        EXPECT_NE(help.find("status 255"), std::string::npos) << help;
        EXPECT_NE(help.find(name + "(1)"), std::string::npos) << help;
        EXPECT_EQ(help.back(), '\n');
    }
    // Every line fits a terminal of 80 columns; only palaverlyd has a commands paragraph.
    const std::vector<std::string> commands(12, "command TEXT");
    const std::string headless = HelpText(ProgramKind::Headless, commands);
    EXPECT_NE(headless.find("Commands: command TEXT, command TEXT,"), std::string::npos);
    EXPECT_NE(headless.find(" command TEXT.\n"), std::string::npos) << headless;
    for (std::size_t from = 0, end; (end = headless.find('\n', from)) != std::string::npos;
         from = end + 1)
        EXPECT_LE(end - from, 79u) << headless.substr(from, end - from);
    EXPECT_EQ(HelpText(ProgramKind::Desktop, commands).find("Commands:"), std::string::npos);
}
