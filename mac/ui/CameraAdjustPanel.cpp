#include "CameraAdjustPanel.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "mac/uvc/UVCCameraControl.h"

namespace {

constexpr AdjustField kFields[] = {AdjustField::Brightness, AdjustField::Contrast, AdjustField::Hub,
                                   AdjustField::Saturation, AdjustField::Sharpness};

} // namespace

CameraAdjustPanel::CameraAdjustPanel(UVCCameraControl &control, QWidget *parent)
    : QDialog(parent)
    , m_control(control)
{
    setModal(false);
    setObjectName("CameraAdjustPanel");

    auto makeSlider = [this](const char *name) {
        auto *slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(name);
        slider->setRange(0, kSliderSteps);
        slider->setMinimumWidth(220);
        return slider;
    };
    auto makeText = [this](const char *name) {
        auto *text = new QLineEdit(this);
        text->setObjectName(name);
        auto *validator = new QDoubleValidator(0.0, 1.0, 6, text);
        validator->setNotation(QDoubleValidator::StandardNotation);
        validator->setLocale(QLocale::c());
        text->setValidator(validator);
        text->setAlignment(Qt::AlignRight);
        text->setFixedWidth(text->fontMetrics().horizontalAdvance("0.0000") + 16);
        return text;
    };
    auto makeLabel = [this](const char *name) {
        auto *label = new QLabel(this);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };
    sliderBrightness = makeSlider("sliderBrightness");
    sliderHub = makeSlider("sliderHub");
    sliderSaturation = makeSlider("sliderSaturation");
    sliderSharpness = makeSlider("sliderSharpness");
    sliderContrast = makeSlider("sliderContrast");
    textBrightness = makeText("textBrightness");
    textHub = makeText("textHub");
    textSaturation = makeText("textSaturation");
    textSharpness = makeText("textSharpness");
    textContrast = makeText("textContrast");
    labBrightness = makeLabel("labBrightness");
    labHub = makeLabel("labHub");
    labSaturation = makeLabel("labSaturation");
    labSharpness = makeLabel("labSharpness");
    labContrast = makeLabel("labContrast");
    btnOk = new QPushButton(this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName("btnCancel");
    btnSetDefault = new QPushButton(this);
    btnSetDefault->setObjectName("btnSetDefault");

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    int row = 0;
    for (AdjustField field : kFields) {
        grid->addWidget(label(field), row, 0);
        grid->addWidget(slider(field), row, 1);
        grid->addWidget(text(field), row, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnSetDefault);
    buttons->addStretch(1);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnOk);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 14);
    layout->setSpacing(16);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    for (AdjustField field : kFields) {
        connect(slider(field), &QSlider::valueChanged, this,
                [this, field](int position) { sliderMoved(field, position); });
        connect(text(field), &QLineEdit::editingFinished, this,
                [this, field] { textEntered(field); });
        showProperty(field);
    }
    connect(btnOk, &QPushButton::clicked, this, &CameraAdjustPanel::okClicked);
    connect(btnCancel, &QPushButton::clicked, this, &CameraAdjustPanel::cancelClicked);
    connect(btnSetDefault, &QPushButton::clicked, this, &CameraAdjustPanel::setDefaultClicked);

    // The built-in texts until the controller retitles the panel.
    setTexts({"Brightness:", "Hub:", "Saturation:", "Sharpness:", "Contrast:", "Ok", "Cancel",
              "Set Default", "Camera Adjustment"});
    m_control.setAdjustView(this);
}

CameraAdjustPanel::~CameraAdjustPanel()
{
    if (m_control.adjustView() == this)
        m_control.setAdjustView(nullptr);
}

QString CameraAdjustPanel::valueText(float value)
{
    return QString::number(static_cast<double>(value), 'g', 3);
}

QSlider *CameraAdjustPanel::slider(AdjustField field) const
{
    switch (field) {
    case AdjustField::Brightness:
        return sliderBrightness;
    case AdjustField::Hub:
        return sliderHub;
    case AdjustField::Saturation:
        return sliderSaturation;
    case AdjustField::Sharpness:
        return sliderSharpness;
    case AdjustField::Contrast:
        return sliderContrast;
    }
    return nullptr;
}

QLineEdit *CameraAdjustPanel::text(AdjustField field) const
{
    switch (field) {
    case AdjustField::Brightness:
        return textBrightness;
    case AdjustField::Hub:
        return textHub;
    case AdjustField::Saturation:
        return textSaturation;
    case AdjustField::Sharpness:
        return textSharpness;
    case AdjustField::Contrast:
        return textContrast;
    }
    return nullptr;
}

QLabel *CameraAdjustPanel::label(AdjustField field) const
{
    switch (field) {
    case AdjustField::Brightness:
        return labBrightness;
    case AdjustField::Hub:
        return labHub;
    case AdjustField::Saturation:
        return labSaturation;
    case AdjustField::Sharpness:
        return labSharpness;
    case AdjustField::Contrast:
        return labContrast;
    }
    return nullptr;
}

void CameraAdjustPanel::setSliderValue(AdjustField field, float value)
{
    QSlider *target = slider(field);
    const QSignalBlocker blocker(target);
    target->setValue(static_cast<int>(std::lround(static_cast<double>(value) * kSliderSteps)));
}

void CameraAdjustPanel::setTextValue(AdjustField field, float value)
{
    text(field)->setText(valueText(value));
}

void CameraAdjustPanel::setTexts(const CameraAdjustTexts &texts)
{
    labBrightness->setText(QString::fromStdString(texts.labBrightness));
    labHub->setText(QString::fromStdString(texts.labHub));
    labSaturation->setText(QString::fromStdString(texts.labSaturation));
    labSharpness->setText(QString::fromStdString(texts.labSharpness));
    labContrast->setText(QString::fromStdString(texts.labContrast));
    btnOk->setText(QString::fromStdString(texts.btnOk));
    btnCancel->setText(QString::fromStdString(texts.btnCancel));
    btnSetDefault->setText(QString::fromStdString(texts.btnSetDefault));
    setWindowTitle(QString::fromStdString(texts.title));
    adjustSize();
}

void CameraAdjustPanel::showProperty(AdjustField field)
{
    const float value = m_control.valueFor(field);
    setSliderValue(field, value);
    setTextValue(field, value);
}

void CameraAdjustPanel::sliderMoved(AdjustField field, int position)
{
    m_control.requestValueFor(field, static_cast<float>(position) / kSliderSteps);
}

void CameraAdjustPanel::textEntered(AdjustField field)
{
    // Leaving a field, or Return in it, sends its value only when the user changed it.
    QLineEdit *edit = text(field);
    if (!edit->isModified())
        return;
    edit->setModified(false);
    bool ok = false;
    const float value = QLocale::c().toFloat(edit->text().trimmed(), &ok);
    if (!ok || !(value >= 0.0f && value <= 1.0f)) {
        showProperty(field);
        return;
    }
    m_control.requestValueFor(field, value);
}

void CameraAdjustPanel::keyPressEvent(QKeyEvent *event)
{
    // Return in a value field has applied that value; it does not also press Ok.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && std::any_of(std::begin(kFields), std::end(kFields),
                             [this](AdjustField field) { return text(field) == focusWidget(); })) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
