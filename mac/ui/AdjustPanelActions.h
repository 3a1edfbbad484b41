#pragma once

#include <QObject>

class QWidget;
class SettingsPanel;
class SettingsPanelHost;

// How the camera adjust panel is reached from the settings panel and leads back to it:
// the settings panel's adjust button, and the adjust panel's Set Default, Cancel and Ok.
class AdjustPanelActions final : public QObject
{
    Q_OBJECT

public:
    // adjustPanel is the camera control's panel (shown, not modal).
    AdjustPanelActions(SettingsPanelHost &host, SettingsPanel &settingsPanel, QWidget *adjustPanel,
                       QObject *parent = nullptr);

    // Without an open camera: the warning. Otherwise the settings panel closes as Undo
    // does and the adjust panel shows, left-aligned with the main window.
    void setAdjustCaerma();
    // Set Default: the camera's default picture values.
    void adjustCameraToDefault();
    // Cancel: the camera's values from before the panel opened; back to the settings.
    void adjustCameraToCancel();
    // Ok: back to the settings.
    void adjustCameraToOk();
    // The no-camera state hides the adjust panel.
    void hideAdjustPanel();

private:
    SettingsPanelHost &m_host;
    SettingsPanel &m_settingsPanel;
    QWidget *m_adjustPanel;
};
