#pragma once

#include <cstdint>
#include <vector>

#include <QDialog>

#include "platform/camera/CameraTypes.h"
#include "platform/system/MessageBox.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;

namespace varnolet {
class CameraSource;
}

class AppServices;

// The camera's own settings: one slider, check box, menu or button for every control the
// open camera offers, applied while it moves, and a button that puts the driver's
// defaults back.
class CDevicePropertiesDlg final : public QDialog
{
public:
    // messages: where a language file that cannot be loaded for the captions is told.
    CDevicePropertiesDlg(varnolet::CameraSource &camera, const AppServices &services,
                         varnolet::MessageBox messages, QWidget *parent = nullptr);

    void RetitleTexts();
    // Sets every control back to its default and shows the values the camera reports.
    void SetDefaults();
    // Reads every value back from the camera into the widgets (no control is written).
    void RefreshValues();

    int ControlCount() const { return static_cast<int>(m_rows.size()); }
    // The widget that edits a control (QSlider, QCheckBox, QComboBox or QPushButton), or
    // null when the camera has no such control.
    QWidget *EditorOf(uint32_t controlId) const;
    QPushButton *DefaultButton() const { return m_defaults; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Row
    {
        varnolet::CameraControl control;
        QLabel *name = nullptr;
        QSlider *slider = nullptr;
        QLabel *value = nullptr;
        QCheckBox *check = nullptr;
        QComboBox *menu = nullptr;
        QPushButton *button = nullptr;
    };

    void addRow(QGridLayout *grid, const varnolet::CameraControl &control);
    void apply(size_t row, int32_t value);
    void showValue(Row &row, int32_t value);

    varnolet::CameraSource &m_camera;
    const AppServices &m_services;
    const varnolet::MessageBox m_messages;
    std::vector<Row> m_rows;
    QLabel *m_empty = nullptr;
    QPushButton *m_defaults;
    QPushButton *m_close;
};
