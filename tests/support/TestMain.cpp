// Runs every test inside an offscreen QGuiApplication (a QApplication for tests of
// windows) with HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR pointed at a private temporary
// folder, so no test touches the user's files and GUI tests need no display.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifdef VARNOLET_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QTemporaryDir home;
    const std::string homePath = home.path().toStdString();
    setenv("HOME", homePath.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (homePath + "/.config").c_str(), 1);
    const std::string runtime = homePath + "/runtime";
    QDir().mkpath(QString::fromStdString(runtime));
    QFile::setPermissions(QString::fromStdString(runtime),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("TZ", "UTC", 0);
    // Where the build copies the program's data (config.ini, Resource/), for tests that
    // run against the shipped files.
    setenv("VARNOLET_RUNTIME_DIR", VARNOLET_BUILD_RUNTIME_DIR, 0);

    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
