#include "CVarnoletApp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>

#include "platform/system/ExitSignalNotifier.h"
#include "platform/system/QtTranslations.h"
#include "platform/system/SingleInstance.h"
#include "platform/system/SystemError.h"
#include "platform/system/VolatileKeyStore.h"
#include "win/common/AppServices.h"
#include "win/common/ConfigFileRepair.h"

namespace {

constexpr const char *kCodecKey = "Software/GNU/XviD";
constexpr const char *kCodecValue = "display_status";

std::string formatWithCode(const char *format, int code)
{
    char text[256];
    std::snprintf(text, sizeof text, format, code);
    return text;
}

std::string executableBaseName()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("VarnoletWin") : exe.stem().string();
}

// Copies a file, replacing the target. Answers 0 or an errno value.
int copyFile(const std::string &from, const std::string &to)
{
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    return ec ? (ec.value() ? ec.value() : EIO) : 0;
}

} // namespace

CVarnoletApp::CVarnoletApp(AppServices &services, varnolet::MessageBox messages,
                           std::string instanceName)
    : m_services(services)
    , m_messages(std::move(messages))
    , m_instanceName(instanceName.empty() ? executableBaseName() : std::move(instanceName))
{
}

CVarnoletApp::~CVarnoletApp() = default;

void CVarnoletApp::RequestShutdown(int signalNumber)
{
    std::fprintf(stderr, "Varnolet: ending on signal %d (%s)\n", signalNumber,
                 ::strsignal(signalNumber));
    m_shutdownRequested = true;
    if (m_running && m_running->dialog) {
        if (m_running->shutDown)
            m_running->shutDown();
        else
            m_running->dialog->done(QDialog::Accepted);
        return;
    }
    // Start-up is showing a message: close it; InitInstance stops at its next step.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (!dialog || !dialog->isVisible())
            break;
        dialog->done(QDialog::Rejected);
    }
}

bool CVarnoletApp::InitInstance()
{
    // A shutdown, logout or Ctrl+C ends the program as its Exit command does, so a
    // recording in progress is closed and stays playable.
    m_exitSignals = std::make_unique<varnolet::ExitSignalNotifier>(
        [this](int signalNumber) { RequestShutdown(signalNumber); });

    // Qt needs no common-control initialisation: the widget classes are always there.
    if (!EnsureSingleInstance() || !WriteCodecDisplayFlag() || !EnsureDataFolder() ||
        !ProvisionUserConfig() || m_shutdownRequested)
        return false;

    m_services.Settings().LoadSettings();
    varnolet::QtTranslations::use(LanguageAt(m_services.Languages().LanguageInForce()).locale);

    MainWindow window =
        m_factory ? m_factory(m_messages) : MainWindow{std::make_unique<QDialog>(), true, {}};
    if (!window.dialog || !window.workerStarted) {
        m_messages.warning("Varnolet run failure");
        m_exitCode = 0;
        return false;
    }

    QDialog *dialog = window.dialog.get();
    if (dialog->windowTitle().isEmpty())
        dialog->setWindowTitle(QStringLiteral("Varnolet"));
    m_singleInstance->listen([dialog] {
        if (dialog->isMinimized())
            dialog->showNormal();
        dialog->raise();
        dialog->activateWindow();
    });
    m_running = &window;
    if (!m_shutdownRequested)
        dialog->exec();
    m_running = nullptr;
    window.dialog.reset(); // stops and joins the window's threads
    return false;
}

bool CVarnoletApp::EnsureSingleInstance()
{
    m_singleInstance = std::make_unique<varnolet::SingleInstance>(
        m_instanceName, m_services.Paths().runtimeFolder());
    switch (m_singleInstance->acquire()) {
    case varnolet::SingleInstance::Outcome::First:
        return true;
    case varnolet::SingleInstance::Outcome::RaisedRunning:
        return false;
    case varnolet::SingleInstance::Outcome::RunningNoWindow:
        m_messages.warning(m_services.GetLanguageString(
            "ui_alert_have_running_application",
            "Failure to lanuch applicaiton,Because it has been run", m_messages));
        return false;
    }
    return false;
}

bool CVarnoletApp::WriteCodecDisplayFlag()
{
    varnolet::VolatileKeyStore store(m_services.Paths().runtimeFolder() + "/varnolet-keys");
    const int status = store.setDword(kCodecKey, kCodecValue, 0);
    if (status == 0)
        return true;
    m_messages.warning(formatWithCode(
        "Fail to run application,because register xvid is error error code = %d", status));
    return false;
}

bool CVarnoletApp::EnsureDataFolder()
{
    const std::string folder = PerUserDataFolder(m_services.Paths());
    struct stat st
    {
    };
    if (::stat(folder.c_str(), &st) == 0)
        return true;
    // A new account may not have $XDG_CONFIG_HOME yet, so the folders above are made too.
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec)
        return true;
    m_messages.warning(formatWithCode(
        "Fail to run application,because application data path is not created error code = %d",
        ec.value()));
    return false;
}

bool CVarnoletApp::ProvisionUserConfig()
{
    const std::string programFolder = ProgramFolder();
    const std::string templatePath = programFolder + "config.ini";
    const std::string userPath = PerUserConfigPath(m_services.Paths());

    int error = 0;
    struct stat st
    {
    };
    if (::stat(userPath.c_str(), &st) != 0) {
        error = copyFile(templatePath, userPath);
    } else {
        std::string folder = programFolder;
        if (!folder.empty() && folder.back() == '/')
            folder.pop_back();
        if (FileTimeStampText(folder) > FileTimeStampText(userPath)) {
            // The program was installed after the user's copy was written: start again
            // from the template. Check the template first so a broken installation does
            // not cost the user the copy they have.
            if (::access(templatePath.c_str(), R_OK) != 0)
                error = errno;
            else if (::unlink(userPath.c_str()) != 0)
                error = errno;
            else
                error = copyFile(templatePath, userPath);
        }
    }
    if (error == 0) {
        // A copy cut off or overwritten since the last start gives way to the factory
        // settings (kept beside it as config.ini.bad) rather than to the built-in defaults.
        RebuildDamagedConfig(userPath, templatePath);
        return true;
    }
    m_messages.warning(formatWithCode(
        "Fail to run application,because config file in not copied error code = %d", error));
    return false;
}

std::string CVarnoletApp::ProgramFolder()
{
    const std::string folder = m_services.Paths().programFolder();
    if (folder.empty())
        m_messages.warning(varnolet::SystemError::text(errno ? errno : ENOENT));
    return folder;
}

std::string CVarnoletApp::FileTimeStampText(const std::string &path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return {};
    std::tm local{};
    const std::time_t t = st.st_mtime;
    localtime_r(&t, &local);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}
