#include <iostream>
#include <memory>

#include <QApplication>

#include "platform/camera/VirtualCameraHub.h"
#include "platform/system/Clock.h"
#include "platform/widgets/QtMessagePresenter.h"
#include "win/app/CMainViewerDlg.h"
#include "win/app/CVarnoletApp.h"
#include "win/app/ProgramOptions.h"
#include "win/common/AppServices.h"

int main(int argc, char **argv)
{
    ProgramOptions options;
    if (const auto exitCode = options.Parse(argc, argv, VARNOLET_VERSION, std::cout, std::cerr))
        return *exitCode;
    QApplication application(argc, argv);
    // The program's one message box: every window and thread shows its boxes through it.
    const varnolet::MessageBox messages(std::make_shared<varnolet::QtMessagePresenter>());
    // The program's one clock: the virtual camera's picture, file names, series and movies.
    const auto clock = std::make_shared<varnolet::SystemClock>();
    // The program's virtual cameras, showing its clock; the one plugged for --virtual-camera
    // is listed after the machine's.
    varnolet::VirtualCameraHub virtualCameras(clock);
    if (options.VirtualCamera())
        virtualCameras.plug();
    // The program's folders, settings store and language table.
    AppServices services(varnolet::SystemPaths::fromEnvironment());

    CVarnoletApp app(services, messages);
    app.setMainWindowFactory(
        [clock, &services, &virtualCameras](const varnolet::MessageBox &windowMessages) {
            auto window =
                std::make_unique<CMainViewerDlg>(clock, windowMessages, services, virtualCameras);
            const bool started = window->SavingThreadStarted();
            CMainViewerDlg *viewer = window.get();
            return CVarnoletApp::MainWindow{std::move(window), started,
                                            [viewer] { viewer->ShutDown(); }};
        });
    app.InitInstance();
    return app.exitCode();
}
