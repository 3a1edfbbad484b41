#pragma once

#include "platform/measure/Calibration.h"

#include <string>
#include <vector>

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;

namespace varnolet {

class MeasureController;

// Asks for the known length of the line just drawn over a stage micrometer, its unit and
// the preset (objective) it calibrates.
class CalibrationDialog final : public QDialog
{
public:
    CalibrationDialog(const MeasureController &controller, double pixelLength,
                      QWidget *parent = nullptr);

    double knownLength() const;
    LengthUnit unit() const;
    std::string presetName() const;

    // Test seams: the editors.
    QDoubleSpinBox *lengthBox() const { return m_length; }
    QComboBox *unitBox() const { return m_unit; }
    QComboBox *presetBox() const { return m_preset; }

private:
    void retitle(const MeasureController &controller, double pixelLength);

    QLabel *m_lineLabel;
    QLabel *m_lengthLabel;
    QLabel *m_presetLabel;
    QDoubleSpinBox *m_length;
    QComboBox *m_unit;
    QComboBox *m_preset;
    QDialogButtonBox *m_buttons;
};

} // namespace varnolet
