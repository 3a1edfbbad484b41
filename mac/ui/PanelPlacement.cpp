#include "mac/ui/PanelPlacement.h"

#include <QWidget>

void PanelPlacement::setWindowPositionInCenterOfMainWindow(QWidget *window,
                                                           const QWidget *mainWindow,
                                                           bool leftAligned)
{
    if (!window || !mainWindow)
        return;
    if (!window->isVisible())
        window->adjustSize();
    const QRect main = mainWindow->frameGeometry();
    const QSize size = window->frameGeometry().size();
    // Whole pixels, the half of an odd difference dropped towards the main window's origin.
    const int x = leftAligned ? main.x() : main.x() + (main.width() - size.width()) / 2;
    const int y = main.y() + (main.height() - size.height()) / 2;
    window->move(x, y);
}
