#include "platform/system/SystemPaths.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>

#include <gtest/gtest.h>

using namespace varnolet;

namespace {

class SystemPathsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedHome = std::getenv("HOME");
        const char *config = std::getenv("XDG_CONFIG_HOME");
        m_savedConfig = config ? config : "";
        setenv("HOME", m_home.path().c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override
    {
        setenv("HOME", m_savedHome.c_str(), 1);
        if (!m_savedConfig.empty())
            setenv("XDG_CONFIG_HOME", m_savedConfig.c_str(), 1);
    }

    // Nothing given: every folder is looked up in the environment at each call.
    const SystemPaths m_environment = SystemPaths::fromEnvironment();
    test::TempFolder m_home;
    std::string m_savedHome;
    std::string m_savedConfig;
};

} // namespace

TEST_F(SystemPathsTest, ConfigHomeFollowsXdgElseHome)
{
    EXPECT_EQ(m_environment.configHome(), m_home.path() + "/.config");
    setenv("XDG_CONFIG_HOME", (m_home.path() + "/cfg/").c_str(), 1);
    EXPECT_EQ(m_environment.configHome(), m_home.path() + "/cfg");
    // A relative XDG value is invalid and ignored.
    setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(m_environment.configHome(), m_home.path() + "/.config");
}

TEST_F(SystemPathsTest, DocumentsComeFromUserDirsWithHomeExpanded)
{
    EXPECT_EQ(m_environment.documentsFolder(), m_home.path() + "/Documents");
    // A new account's documents folder is made on first use.
    EXPECT_TRUE(test::fileExists(m_home.path() + "/Documents"));
    m_home.write(
        ".config/user-dirs.dirs",
        "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(m_environment.documentsFolder(), m_home.path() + "/Dokumente");
    m_home.write(".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
    EXPECT_EQ(m_environment.documentsFolder(), m_home.path() + "/Documents");
}

TEST_F(SystemPathsTest, ProgramFolderEndsWithASlashAndGivenFoldersWin)
{
    const std::string folder = m_environment.programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(test::fileExists(folder));
    SystemPaths::Folders folders;
    folders.documents = "/srv/pictures";
    folders.program = "/opt/varnolet/";
    const SystemPaths given(folders);
    EXPECT_EQ(given.programFolder(), "/opt/varnolet/");
    EXPECT_EQ(given.documentsFolder(), "/srv/pictures");
    // What is not given still comes from the environment.
    EXPECT_EQ(given.configHome(), m_home.path() + "/.config");
}
