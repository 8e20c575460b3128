#include "RosterTestSupport.h"
#include "sys/CInstanceLock.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace palaverly;
namespace fs = std::filesystem;

TEST(InstanceLock, SecondLockOnTheSameFileIsRefusedUntilTheFirstEnds) {
    test::CTempDir dir;
    const fs::path folder = dir.Path() / "new" / "folder";
    {
        CInstanceLock first(folder);
        EXPECT_TRUE(first.Acquired());
        EXPECT_EQ(first.File(), folder / "palaverly.lock");
        EXPECT_TRUE(first.Problem().empty());
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);

        CInstanceLock second(folder);
        EXPECT_FALSE(second.Acquired());
        EXPECT_EQ(second.Result(), CInstanceLock::Outcome::Held);
        EXPECT_TRUE(second.Problem().empty());
    }
    CInstanceLock third(folder);
    EXPECT_TRUE(third.Acquired());
}

TEST(InstanceLock, ALockFileThatCannotBeOpenedIsARefusalThatSaysWhy) {
    test::CTempDir dir;
    fs::create_directory(dir.Path() / "palaverly.lock");
    CInstanceLock lock(dir.Path());
    EXPECT_FALSE(lock.Acquired());
    EXPECT_EQ(lock.Result(), CInstanceLock::Outcome::Unavailable);
    const std::string& problem = lock.Problem();
    EXPECT_NE(problem.find((dir.Path() / "palaverly.lock").string()), std::string::npos) << problem;
    EXPECT_NE(problem.find("Is a directory"), std::string::npos) << problem;

    // A link in place of the file is not followed.
    test::CTempDir other;
    fs::create_symlink(other.Path() / "elsewhere", other.Path() / "palaverly.lock");
    CInstanceLock linked(other.Path());
    EXPECT_EQ(linked.Result(), CInstanceLock::Outcome::Unavailable);
    EXPECT_FALSE(fs::exists(other.Path() / "elsewhere"));
}

TEST(InstanceLock, FolderIsTheUsersRuntimeFolderWhenItIsHisAndPrivate) {
    test::CTempDir root;
    const fs::path fallback = root.Path() / "config" / "Quillmark";
    const uid_t me = ::getuid();
    const fs::path mine = root.Path() / std::to_string(me);

    EXPECT_EQ(CInstanceLock::ChooseFolder(me, root.Path(), fallback), fallback) << "missing";
    fs::create_directory(mine);
    ::chmod(mine.c_str(), 0700);
    EXPECT_EQ(CInstanceLock::ChooseFolder(me, root.Path(), fallback), mine);
    ::chmod(mine.c_str(), 0777);
    EXPECT_EQ(CInstanceLock::ChooseFolder(me, root.Path(), fallback), fallback) << "writable";
    ::chmod(mine.c_str(), 0700);

    // Someone else's folder under our number, or a folder of ours under another number.
    const uid_t other = me + 1;
    fs::create_directory(root.Path() / std::to_string(other));
    EXPECT_EQ(CInstanceLock::ChooseFolder(other, root.Path(), fallback), fallback);

    // A link, even to a private folder of ours, is not the runtime folder.
    test::CTempDir linkRoot;
    fs::create_directory_symlink(mine, linkRoot.Path() / std::to_string(me));
    EXPECT_EQ(CInstanceLock::ChooseFolder(me, linkRoot.Path(), fallback), fallback);
}

TEST(InstanceLock, DefaultFolderDoesNotDependOnXdgRuntimeDir) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    test::CTempDir dir;
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    const fs::path with = CInstanceLock::DefaultFolder();
    ::unsetenv("XDG_RUNTIME_DIR");
    const fs::path without = CInstanceLock::DefaultFolder();
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
    EXPECT_EQ(with, without);
    EXPECT_NE(with, dir.Path());
}
