#include "sys/PosixFile.h"

#include "RosterTestSupport.h"
#include "sys/CurrentUser.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace palaverly {
namespace {

namespace fs = std::filesystem;
using test::CTempDir;

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(PosixFile, ReadWholeFileRefusesWhatIsNotARegularFile) {
    CTempDir dir;
    std::string out = "stale";
    EXPECT_EQ(ReadWholeFile(dir.Path() / "missing", out), ENOENT);
    EXPECT_EQ(ReadWholeFile(dir.Path(), out), EISDIR);
    const fs::path fifo = dir.Path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Nobody writes the FIFO: a blocking open would hang here for ever.
    EXPECT_EQ(ReadWholeFile(fifo, out), EINVAL);

    const std::string bytes("a\0b\r\n\x82\xa0", 7);
    test::WriteWholeFile(dir.Path() / "file", bytes);
    ASSERT_EQ(ReadWholeFile(dir.Path() / "file", out), 0);
    EXPECT_EQ(out, bytes);
}

TEST(PosixFile, ReplaceLeavesTheNewContentTheModeAndNoTemporary) {
    CTempDir dir;
    const fs::path target = dir.Path() / "settings.conf";
    test::WriteWholeFile(target, "old\n");
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    ASSERT_EQ(ReplaceFileAtomically(target, "new\n"), 0);
    EXPECT_EQ(test::ReadWholeFile(target), "new\n");
    EXPECT_EQ(ModeOf(target), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(PosixFile, FailedReplaceKeepsTheOldFileAndSaysWhichStep) {
    CTempDir dir;
    const fs::path target = dir.Path() / "sub" / "settings.conf";
    std::string step;
    EXPECT_EQ(ReplaceFileAtomically(target, "new\n", 0600, &step), ENOENT);
    EXPECT_NE(step.find("cannot create a temporary file"), std::string::npos) << step;

    // A folder in the target's place: the rename fails, the temporary goes again.
    const fs::path blocked = dir.Path() / "blocked";
    fs::create_directory(blocked);
    test::WriteWholeFile(blocked / "inside", "x");
    EXPECT_NE(ReplaceFileAtomically(blocked, "new\n", 0600, &step), 0);
    EXPECT_NE(step.find("cannot replace"), std::string::npos) << step;
    EXPECT_EQ(test::ReadWholeFile(blocked / "inside"), "x");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(PosixFile, MakePrivateFoldersCreatesMissingParentsOwnerOnly) {
    CTempDir dir;
    const fs::path deep = dir.Path() / "a" / "b" / "c";
    ASSERT_EQ(MakePrivateFolders(deep), 0);
    EXPECT_EQ(ModeOf(dir.Path() / "a"), 0700u);
    EXPECT_EQ(ModeOf(deep), 0700u);
    // Existing folders keep their mode; a file in the way is no folder.
    ASSERT_EQ(::chmod((dir.Path() / "a").c_str(), 0755), 0);
    EXPECT_EQ(MakePrivateFolders(deep), 0);
    EXPECT_EQ(ModeOf(dir.Path() / "a"), 0755u);
    test::WriteWholeFile(dir.Path() / "file", "x");
    EXPECT_EQ(MakePrivateFolders(dir.Path() / "file"), ENOTDIR);
    EXPECT_NE(MakePrivateFolders(dir.Path() / "file" / "below"), 0);
}

TEST(PosixFile, WriteAllReportsAClosedPipe) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    EXPECT_TRUE(WriteAll(fds[1], "line\n"));
    char buffer[8] = {};
    EXPECT_EQ(::read(fds[0], buffer, sizeof buffer), 5);
    ::close(fds[0]);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    errno = 0;
    EXPECT_FALSE(WriteAll(fds[1], "lost\n"));
    EXPECT_EQ(errno, EPIPE);
    ::sigaction(SIGPIPE, &previous, nullptr);
    ::close(fds[1]);
}

TEST(CurrentUser, TheAccountOfThisProcessHasANameAndAHome) {
    const std::optional<UserAccount> account = CurrentUserAccount();
    ASSERT_TRUE(account.has_value());
    EXPECT_FALSE(account->name.empty());
    EXPECT_EQ(account->home.front(), '/');
}

} // namespace
} // namespace palaverly
