#include "PlaceholderMainWindow.h"

#include <QLabel>

#include "mac/app/AppControllerSettings.h"
#include "mac/app/PropertyList.h"

PlaceholderMainWindow::PlaceholderMainWindow(const AppControllerSettings &settings,
                                             bool virtualCamera, QWidget *parent)
    : QMainWindow(parent)
{
    const PropertyList info =
        PropertyList::readFile(SettingParams::getBundlePath() + "/Contents/info.plist");
    const std::string product =
        PropertyList::stringValue(info.item("Oem Produce Name")).value_or("Varnolet");
    setWindowTitle(QString::fromStdString(product));

    const std::string location = settings.usingSettingParam().getResourcesLocationWithVarnolet();
    auto *label = new QLabel(this);
    label->setAlignment(Qt::AlignCenter);
    label->setText(
        QStringLiteral("%1\n\nThe camera view comes later.\nCamera: %2\nResources: %3")
            .arg(QString::fromStdString(product),
                 virtualCamera ? QStringLiteral("virtual camera") : QStringLiteral("none"),
                 QString::fromStdString(location)));
    setCentralWidget(label);
    resize(800, 600);
}
