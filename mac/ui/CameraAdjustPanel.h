#pragma once

#include <array>

#include <QDialog>

#include "mac/uvc/CameraAdjustView.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class UVCCameraControl;

// The camera adjust panel: a non-modal dialog with a slider and a value field for each of
// the five picture properties, bound both ways to the camera control's 0..1 properties. A
// value the camera refuses puts the slider and the field back to the property. Its three
// buttons are reported as signals; the application controller decides what they do.
class CameraAdjustPanel final : public QDialog, public CameraAdjustView
{
    Q_OBJECT

public:
    explicit CameraAdjustPanel(UVCCameraControl &control, QWidget *parent = nullptr);
    ~CameraAdjustPanel() override;

    // CameraAdjustView
    void setSliderValue(AdjustField field, float value) override;
    void setTextValue(AdjustField field, float value) override;
    void setTexts(const CameraAdjustTexts &texts) override;

    // Slider positions per unit of a property.
    static constexpr int kSliderSteps = 1000;
    // The value field's text for a 0..1 value.
    static QString valueText(float value);

    QSlider *slider(AdjustField field) const;
    QLineEdit *text(AdjustField field) const;
    QLabel *label(AdjustField field) const;

    QSlider *sliderBrightness;
    QSlider *sliderHub;
    QSlider *sliderSaturation;
    QSlider *sliderSharpness;
    QSlider *sliderContrast;
    QLineEdit *textBrightness;
    QLineEdit *textHub;
    QLineEdit *textSaturation;
    QLineEdit *textSharpness;
    QLineEdit *textContrast;
    QLabel *labBrightness;
    QLabel *labHub;
    QLabel *labSaturation;
    QLabel *labSharpness;
    QLabel *labContrast;
    QPushButton *btnOk;
    QPushButton *btnCancel;
    QPushButton *btnSetDefault;

signals:
    void okClicked();
    void cancelClicked();
    void setDefaultClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void sliderMoved(AdjustField field, int position);
    void textEntered(AdjustField field);
    void showProperty(AdjustField field);

    UVCCameraControl &m_control;
};
