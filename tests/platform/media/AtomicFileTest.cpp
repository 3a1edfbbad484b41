#include "platform/media/AtomicFile.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <filesystem>

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
