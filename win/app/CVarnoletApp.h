#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/system/MessageBox.h"

class AppServices;
class QDialog;

namespace varnolet {
class ExitSignalNotifier;
class SingleInstance;
} // namespace varnolet

// The application object: everything the program does before and after its main window
// runs. InitInstance checks for a running copy, writes the codec's display flag,
// provisions the per-user data folder and config.ini, loads the settings and runs the
// main window modally. Every start-up failure ends the program after one message, shown in
// the message box the application was given and handed on to the main window.
class CVarnoletApp final
{
public:
    // The main window as start-up needs it: run modally, raised from a second start,
    // and whether its timed-shot saving thread could be started.
    struct MainWindow
    {
        std::unique_ptr<QDialog> dialog;
        bool workerStarted = true;
        // Ends the window without asking (a request to end from outside); empty: the
        // dialog is simply closed.
        std::function<void()> shutDown;
    };
    // Makes the main window, which shows its boxes in the message box it is handed.
    using MainWindowFactory = std::function<MainWindow(const varnolet::MessageBox &messages)>;

    // services: the program's folders, settings store and texts, which start-up loads and
    // which outlive the application object. messages: the program's message boxes.
    // instanceName: the executable's base name; empty takes it from /proc/self/exe.
    CVarnoletApp(AppServices &services, varnolet::MessageBox messages,
                 std::string instanceName = {});
    ~CVarnoletApp();
    CVarnoletApp(const CVarnoletApp &) = delete;
    CVarnoletApp &operator=(const CVarnoletApp &) = delete;

    // Runs start-up and the main window. Always answers false: the process ends when it
    // returns. exitCode() tells the status the process should end with.
    bool InitInstance();
    int exitCode() const { return m_exitCode; }

    void setMainWindowFactory(MainWindowFactory factory) { m_factory = std::move(factory); }

    // A request to end from outside (SIGTERM, SIGINT, SIGHUP), on the UI thread: the main
    // window ends as after a confirmed Exit; before it exists, start-up stops at the next
    // step. InitInstance installs the signal handlers that call it.
    void RequestShutdown(int signalNumber);
    bool ShutdownRequested() const { return m_shutdownRequested; }

    // The steps of InitInstance, each answering false after its message when start-up
    // must end.
    bool EnsureSingleInstance();
    bool WriteCodecDisplayFlag();
    bool EnsureDataFolder();
    // Also rebuilds a damaged per-user copy from the template's factory settings.
    bool ProvisionUserConfig();

    // Program folder with a trailing "/", or empty after a message when it can't be read.
    std::string ProgramFolder();
    // Last-write time of a file or folder in local time, "%04d-%02d-%02d %02d:%02d:%02d";
    // empty when the path can't be read.
    static std::string FileTimeStampText(const std::string &path);

    const std::string &instanceName() const { return m_instanceName; }
    const varnolet::MessageBox &messages() const { return m_messages; }

private:
    AppServices &m_services;
    const varnolet::MessageBox m_messages;
    std::string m_instanceName;
    std::unique_ptr<varnolet::SingleInstance> m_singleInstance;
    MainWindowFactory m_factory;
    int m_exitCode = 0;
    std::unique_ptr<varnolet::ExitSignalNotifier> m_exitSignals;
    MainWindow *m_running = nullptr; // the main window while it runs
    bool m_shutdownRequested = false;
};
