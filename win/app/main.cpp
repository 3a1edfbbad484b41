#include <iostream>
#include <memory>

#include <QApplication>

#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "platform/system/QtMessagePresenter.h"
#include "win/app/CMainViewerDlg.h"
#include "win/app/CVarnoletApp.h"
#include "win/app/ProgramOptions.h"

int main(int argc, char **argv)
{
    if (const auto exitCode =
            ProgramOptions::Parse(argc, argv, VARNOLET_VERSION, std::cout, std::cerr))
        return *exitCode;
    QApplication application(argc, argv);
    // The program's one message box: every window and thread shows its boxes through it.
    const varnolet::MessageBox messages(std::make_shared<varnolet::QtMessagePresenter>());
    // The program's one clock: the virtual camera's picture, file names, series and movies.
    const auto clock = std::make_shared<varnolet::SystemClock>();
    varnolet::VirtualCameraHub::instance().setClock(clock);
    if (ProgramOptions::VirtualCamera())
        varnolet::VirtualCameraHub::instance().plug();

    CVarnoletApp app(messages);
    app.setMainWindowFactory([clock](const varnolet::MessageBox &windowMessages) {
        auto window = std::make_unique<CMainViewerDlg>(clock, windowMessages);
        const bool started = window->SavingThreadStarted();
        CMainViewerDlg *viewer = window.get();
        return CVarnoletApp::MainWindow{std::move(window), started,
                                        [viewer] { viewer->ShutDown(); }};
    });
    app.InitInstance();
    return app.exitCode();
}
