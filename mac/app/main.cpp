#include <QApplication>
#include <QStringList>

#include "mac/app/AppControllerSettings.h"
#include "mac/app/PlaceholderMainWindow.h"
#include "mac/app/SavingLocationManage.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VarnoletMac"));
    const bool virtualCamera =
        QApplication::arguments().contains(QStringLiteral("--virtual-camera"));

    SavingLocationManage savingLocations;
    AppControllerSettings settings;
    settings.startUp(savingLocations);
    settings.refillLanguageArray();

    PlaceholderMainWindow window(settings, virtualCamera);
    window.show();
    return app.exec();
}
