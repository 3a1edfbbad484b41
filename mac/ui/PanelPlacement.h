#pragma once

class QWidget;

// Where the controller's panels go on the screen.
class PanelPlacement
{
public:
    // Centres the window over the main window; with leftAligned the window's left edge is
    // the main window's instead (the adjust panel). Nothing happens without either window.
    static void setWindowPositionInCenterOfMainWindow(QWidget *window, const QWidget *mainWindow,
                                                      bool leftAligned = false);
};
