#pragma once

#include <QMainWindow>

class AppControllerSettings;

// Stand-in main window until the camera view exists: titled with the product name of the
// bundle's information list, showing which camera mode the program was started in.
class PlaceholderMainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit PlaceholderMainWindow(const AppControllerSettings &settings, bool virtualCamera,
                                   QWidget *parent = nullptr);
};
