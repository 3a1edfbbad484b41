#include "platform/system/AtomicFile.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace varnolet;

TEST(AtomicFile, UnusableFolderFailsWithItsErrno)
{
    test::TempFolder folder;
    // A plain file where the folder should be: refused even for root.
    const std::string notFolder = folder.write("plain", "x");
    const uint8_t byte = 1;
    EXPECT_EQ(AtomicFile::write(notFolder + "/f", &byte, 1), ENOTDIR);
    EXPECT_EQ(AtomicFile::write("", &byte, 1), ENOENT);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(AtomicFile, CommitNeverReplacesAnExistingFile)
{
    test::TempFolder folder;
    const std::string path = folder.write("taken", "old");
    std::string temporary;
    const int fd = AtomicFile::createTemporary(path, temporary);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "new", 3), 3);
    ::close(fd);
    EXPECT_EQ(AtomicFile::commit(temporary, path, AtomicFile::Mode::KeepExisting), EEXIST);
    EXPECT_EQ(test::readFile(path), "old");
    EXPECT_FALSE(test::fileExists(temporary));
}

TEST(AtomicFile, ReplaceKeepsPermissionsAndWritesThroughALink)
{
    test::TempFolder folder;
    const std::string real = folder.write("real.ini", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    const std::string link = folder.file("link.ini");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);

    EXPECT_EQ(AtomicFile::replace(link, "new"), 0);
    EXPECT_EQ(test::readFile(real), "new");
    struct stat st
    {
    };
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string fresh = folder.file("fresh.plist");
    EXPECT_EQ(AtomicFile::replace(fresh, "x"), 0);
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              3)
        << "no temporary file is left";
}

TEST(AtomicFile, FailedReplaceLeavesNothingBehind)
{
    test::TempFolder folder;
    // A folder where the file should be: the rename fails, even for root.
    const std::string taken = folder.file("config.ini");
    ASSERT_EQ(::mkdir(taken.c_str(), 0755), 0);
    ASSERT_TRUE(test::fileExists(folder.write("config.ini/inside", "kept")));
    EXPECT_EQ(AtomicFile::replace(taken, "lost"), EISDIR);
    EXPECT_EQ(test::readFile(taken + "/inside"), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "the temporary file is removed";
    EXPECT_EQ(AtomicFile::replace(folder.write("plain", "x") + "/f", "x"), ENOTDIR);
    EXPECT_EQ(AtomicFile::replace("", "x"), ENOENT);
}
