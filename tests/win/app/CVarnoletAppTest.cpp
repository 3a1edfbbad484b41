#include "win/app/CVarnoletApp.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include <sys/stat.h>
#include <utime.h>

#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include "tests/support/RecordingMessagePresenter.h"
#include "tests/support/TestSupport.h"
#include "win/common/AppServices.h"
#include "win/common/CSettingParams.h"

using namespace varnolet;

namespace {

void setModified(const std::string &path, std::time_t when)
{
    struct utimbuf times
    {
        when, when
    };
    ASSERT_EQ(::utime(path.c_str(), &times), 0) << path;
}

// A program folder with a template and a user config folder, both temporary.
class StartUpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_program.write("config.ini", "[usingsetting]\nmoviesizemax=64\n");
        // The shipped language files, as the build lays them next to the program.
        if (const char *runtime = std::getenv("VARNOLET_RUNTIME_DIR"))
            std::filesystem::create_directory_symlink(std::string(runtime) + "/Resource",
                                                      m_program.file("Resource"));
    }

    std::string userConfig() const { return m_config.path() + "/Microsofttmp/config.ini"; }
    // The temporary folders, with the config home given.
    SystemPaths paths(const std::string &configHome) const
    {
        return SystemPaths({.configHome = configHome,
                            .runtime = m_runtime.path(),
                            .program = m_program.path() + "/"});
    }

    test::TempFolder m_program, m_config, m_runtime;
    AppServices m_services{paths(m_config.path())};
    MessageRecorder m_messages;
};

} // namespace

TEST_F(StartUpTest, FirstRunCreatesTheDataFolderAndCopiesTheTemplate)
{
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(app.EnsureDataFolder());
    ASSERT_TRUE(app.ProvisionUserConfig());
    EXPECT_EQ(test::readFile(userConfig()), "[usingsetting]\nmoviesizemax=64\n");
    EXPECT_EQ(m_messages->count(), 0u);
}

TEST_F(StartUpTest, AUserCopyNewerThanTheProgramFolderIsKept)
{
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(app.EnsureDataFolder());
    m_config.write("Microsofttmp/config.ini", "[usingsetting]\nmoviesizemax=128\n");
    const std::time_t now = std::time(nullptr);
    setModified(m_program.path(), now - 3600);
    setModified(userConfig(), now - 60);
    ASSERT_TRUE(app.ProvisionUserConfig());
    EXPECT_EQ(test::readFile(userConfig()), "[usingsetting]\nmoviesizemax=128\n");

    // The same second on both keeps the user's copy too.
    setModified(m_program.path(), now - 60);
    ASSERT_TRUE(app.ProvisionUserConfig());
    EXPECT_EQ(test::readFile(userConfig()), "[usingsetting]\nmoviesizemax=128\n");
}

TEST_F(StartUpTest, AReinstalledProgramReplacesTheUserCopy)
{
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(app.EnsureDataFolder());
    m_config.write("Microsofttmp/config.ini", "[usingsetting]\nmoviesizemax=128\n");
    const std::time_t now = std::time(nullptr);
    setModified(userConfig(), now - 3600);
    setModified(m_program.path(), now - 1);
    ASSERT_TRUE(app.ProvisionUserConfig());
    EXPECT_EQ(test::readFile(userConfig()), "[usingsetting]\nmoviesizemax=64\n");
}

TEST_F(StartUpTest, AMissingTemplateEndsStartUpWithTheCopyMessage)
{
    std::filesystem::remove(m_program.file("config.ini"));
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(app.EnsureDataFolder());
    EXPECT_FALSE(app.ProvisionUserConfig());
    ASSERT_EQ(m_messages->count(), 1u);
    EXPECT_EQ(m_messages->texts().front(),
              "Fail to run application,because config file in not copied error code = 2");
    EXPECT_EQ(m_messages->messages().front().caption, "Varnolet");
}

TEST_F(StartUpTest, AMissingTemplateOnReinstallKeepsTheUserCopy)
{
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(app.EnsureDataFolder());
    m_config.write("Microsofttmp/config.ini", "[usingsetting]\nmoviesizemax=128\n");
    std::filesystem::remove(m_program.file("config.ini"));
    const std::time_t now = std::time(nullptr);
    setModified(userConfig(), now - 3600);
    setModified(m_program.path(), now - 1);
    EXPECT_FALSE(app.ProvisionUserConfig());
    EXPECT_EQ(test::readFile(userConfig()), "[usingsetting]\nmoviesizemax=128\n");
    EXPECT_EQ(m_messages->count(), 1u);
}

TEST_F(StartUpTest, ADataFolderThatCannotBeCreatedEndsStartUp)
{
    // A plain file where the config folder should be: nothing can be made below it.
    m_config.write("blocked", "");
    AppServices services(paths(m_config.path() + "/blocked/config"));
    CVarnoletApp app(services, m_messages.box(), "VarnoletWin");
    EXPECT_FALSE(app.EnsureDataFolder());
    ASSERT_EQ(m_messages->count(), 1u);
    EXPECT_EQ(
        m_messages->texts().front(),
        "Fail to run application,because application data path is not created error code = 20");
}

TEST_F(StartUpTest, ANewAccountWithoutAConfigFolderGetsOne)
{
    AppServices services(paths(m_config.path() + "/not/yet/there"));
    CVarnoletApp app(services, m_messages.box(), "VarnoletWin");
    EXPECT_TRUE(app.EnsureDataFolder());
    EXPECT_TRUE(test::fileExists(m_config.path() + "/not/yet/there/Microsofttmp"));
    EXPECT_EQ(m_messages->count(), 0u);
}

TEST_F(StartUpTest, TheCodecFlagIsWrittenToTheVolatileStore)
{
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(app.WriteCodecDisplayFlag());
    EXPECT_EQ(test::readFile(m_runtime.file("varnolet-keys/Software.GNU.XviD.keys")),
              "display_status=0\n");
}

TEST_F(StartUpTest, TimeStampsFollowTheLocalClockFormat)
{
    const std::string file = m_program.file("config.ini");
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 5;
    tm.tm_hour = 7;
    tm.tm_min = 8;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    setModified(file, std::mktime(&tm));
    EXPECT_EQ(CVarnoletApp::FileTimeStampText(file), "2024-03-05 07:08:09");
    EXPECT_EQ(CVarnoletApp::FileTimeStampText(m_program.file("nothing")), "");
}

TEST_F(StartUpTest, ASecondStartWhileTheFirstHasNoWindowShowsTheRunningMessage)
{
    const char *language = std::getenv("LANGUAGE");
    const std::string savedLanguage = language ? language : "";
    setenv("LANGUAGE", "en", 1);
    CVarnoletApp first(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(first.EnsureSingleInstance());
    CVarnoletApp second(m_services, m_messages.box(), "VarnoletWin");
    EXPECT_FALSE(second.EnsureSingleInstance());
    if (language)
        setenv("LANGUAGE", savedLanguage.c_str(), 1);
    else
        unsetenv("LANGUAGE");
    // The one localised start-up message: the user's language here is English.
    ASSERT_EQ(m_messages->count(), 1u) << testing::PrintToString(m_messages->texts());
    EXPECT_EQ(m_messages->texts().front(),
              "Varnolet cannot be started because it is already running.");
}

TEST_F(StartUpTest, InitInstanceLoadsTheSettingsAndRunsTheMainWindow)
{
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    bool ran = false;
    app.setMainWindowFactory([&](const varnolet::MessageBox &windowMessages) {
        // The window is handed the application's own message box.
        EXPECT_EQ(windowMessages.presenter(), m_messages.presenter());
        auto dialog = std::make_unique<QDialog>();
        QTimer::singleShot(0, dialog.get(), [&ran, d = dialog.get()] {
            ran = true;
            d->reject();
        });
        return CVarnoletApp::MainWindow{std::move(dialog), true, {}};
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(ran);
    EXPECT_EQ(m_services.Settings().GetUsingSettings().movieSizeMax, 64);
    EXPECT_EQ(m_messages->count(), 0u);
}

TEST_F(StartUpTest, AMainWindowWithoutItsWorkerEndsWithTheRunFailure)
{
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    app.setMainWindowFactory([](const varnolet::MessageBox &) {
        return CVarnoletApp::MainWindow{std::make_unique<QDialog>(), false, {}};
    });
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.exitCode(), 0);
    ASSERT_EQ(m_messages->count(), 1u);
    EXPECT_EQ(m_messages->texts().front(), "Varnolet run failure");
}

TEST_F(StartUpTest, ATerminationSignalEndsTheMainWindowThroughItsShutdown)
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
        int shutDowns = 0;
        app.setMainWindowFactory([&](const varnolet::MessageBox &) {
            auto dialog = std::make_unique<QDialog>();
            QDialog *d = dialog.get();
            // The signal arrives while the window runs; its shutdown ends it.
            QTimer::singleShot(50, d, [signalNumber] { ::raise(signalNumber); });
            QTimer::singleShot(5000, d, [d] { d->done(QDialog::Rejected); }); // a hang ends here
            return CVarnoletApp::MainWindow{std::move(dialog), true, [&shutDowns, d] {
                                                ++shutDowns;
                                                d->done(QDialog::Accepted);
                                            }};
        });
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(app.InitInstance());
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3))
            << signalNumber;
        EXPECT_EQ(shutDowns, 1) << signalNumber;
        EXPECT_TRUE(app.ShutdownRequested());
    }
    // The handlers are the application's only while it runs.
    struct sigaction now
    {
    };
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    EXPECT_EQ(m_messages->count(), 0u);
}

TEST_F(StartUpTest, ADamagedUserCopyIsRebuiltFromTheTemplatesFactorySettings)
{
    m_program.write("config.ini", "[defaultsetting]\nmoviesizemax=1024\n"
                                  "[usingsetting]\nmoviesizemax=64\n");
    CVarnoletApp app(m_services, m_messages.box(), "VarnoletWin");
    ASSERT_TRUE(app.EnsureDataFolder());
    const std::string damaged("[oem]\nversion=3.1.00\n\0\0\0\0\0\0", 26);
    m_config.write("Microsofttmp/config.ini", damaged);
    const std::time_t now = std::time(nullptr);
    setModified(m_program.path(), now - 3600);
    ASSERT_TRUE(app.ProvisionUserConfig());
    EXPECT_EQ(test::readFile(userConfig() + ".bad"), damaged);
    m_services.Settings().LoadSettings();
    EXPECT_EQ(m_services.Settings().GetUsingSettings().movieSizeMax, 1024)
        << "the factory value, not the built-in 16";
    EXPECT_EQ(m_messages->count(), 0u);
}
