#include "CalibrationDialog.h"

#include "MeasureController.h"
#include "platform/measure/ScaleBar.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace varnolet {

CalibrationDialog::CalibrationDialog(const MeasureController &controller, double pixelLength,
                                     QWidget *parent)
    : QDialog(parent)
    , m_lineLabel(new QLabel(this))
    , m_lengthLabel(new QLabel(this))
    , m_presetLabel(new QLabel(this))
    , m_length(new QDoubleSpinBox(this))
    , m_unit(new QComboBox(this))
    , m_preset(new QComboBox(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("calibrationDialog"));
    m_length->setObjectName(QStringLiteral("calibrationLength"));
    m_length->setDecimals(3);
    m_length->setRange(0.001, 1'000'000.0);
    m_length->setValue(100.0);
    m_unit->addItem(QStringLiteral("\u00b5m"));
    m_unit->addItem(QStringLiteral("mm"));
    m_preset->setEditable(true);
    m_preset->setObjectName(QStringLiteral("calibrationPreset"));
    for (const std::string &name : controller.presetNames())
        m_preset->addItem(QString::fromStdString(name));
    const std::string current = controller.currentPreset();
    m_preset->setCurrentText(current.empty() ? QStringLiteral("10\u00d7")
                                             : QString::fromStdString(current));

    auto *lengthRow = new QHBoxLayout;
    lengthRow->addWidget(m_length, 1);
    lengthRow->addWidget(m_unit);
    auto *form = new QFormLayout(this);
    form->addRow(m_lineLabel);
    form->addRow(m_lengthLabel, lengthRow);
    form->addRow(m_presetLabel, m_preset);
    form->addRow(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_preset, &QComboBox::editTextChanged, this, [this](const QString &text) {
        m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!text.trimmed().isEmpty());
    });
    retitle(controller, pixelLength);
}

void CalibrationDialog::retitle(const MeasureController &controller, double pixelLength)
{
    setWindowTitle(controller.text("ui_dlg_calibrate", "Calibrate"));
    m_lineLabel->setText(controller.text("ui_calibrate_lab_line", "Length of the line drawn:") +
                         QLatin1Char(' ') + QString::fromStdString(formatPixels(pixelLength)));
    m_lengthLabel->setText(controller.text("ui_calibrate_lab_known_length", "Known length:"));
    m_presetLabel->setText(controller.text("ui_calibrate_lab_preset", "Preset:"));
}

double CalibrationDialog::knownLength() const
{
    return m_length->value();
}

LengthUnit CalibrationDialog::unit() const
{
    return m_unit->currentIndex() == 1 ? LengthUnit::Millimetre : LengthUnit::Micrometre;
}

std::string CalibrationDialog::presetName() const
{
    return m_preset->currentText().trimmed().left(CalibrationStore::kLongestName).toStdString();
}

} // namespace varnolet
