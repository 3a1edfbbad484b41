#include "CDevicePropertiesDlg.h"

#include "win/common/AppServices.h"

#include "win/app/AppText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "platform/camera/CameraSource.h"

using varnolet::CameraControl;

CDevicePropertiesDlg::CDevicePropertiesDlg(varnolet::CameraSource &camera,
                                           const AppServices &services,
                                           varnolet::MessageBox messages, QWidget *parent)
    : QDialog(parent)
    , m_camera(camera)
    , m_services(services)
    , m_messages(std::move(messages))
    , m_defaults(new QPushButton(this))
    , m_close(new QPushButton(this))
{
    setObjectName(QStringLiteral("devicePropertiesDialog"));
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(10);
    layout->addLayout(grid);

    for (const CameraControl &control : m_camera.controls())
        addRow(grid, control);
    if (m_rows.empty()) {
        m_empty = new QLabel(this);
        layout->addWidget(m_empty);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_defaults);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    m_defaults->setAutoDefault(false);
    m_close->setAutoDefault(false);
    m_defaults->setEnabled(!m_rows.empty());
    connect(m_defaults, &QPushButton::clicked, this, &CDevicePropertiesDlg::SetDefaults);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(420);
    RetitleTexts();
}

void CDevicePropertiesDlg::RetitleTexts()
{
    setWindowTitle(QStringLiteral("Varnolet"));
    m_defaults->setText(
        LanguageText(m_services, "ui_adjust_btn_setdefault", "Set Default", m_messages));
    m_close->setText(LanguageText(m_services, "ui_adjust_btn_ok", "Ok", m_messages));
    if (m_empty)
        m_empty->setText(QStringLiteral("—"));
}

void CDevicePropertiesDlg::addRow(QGridLayout *grid, const CameraControl &control)
{
    const int line = static_cast<int>(m_rows.size());
    const size_t index = m_rows.size();
    Row row;
    row.control = control;
    row.name = new QLabel(QString::fromStdString(control.name), this);
    grid->addWidget(row.name, line, 0);
    const bool editable = !control.readOnly && !control.inactive;

    switch (control.type) {
    case CameraControl::Type::Boolean:
        row.check = new QCheckBox(this);
        row.check->setChecked(control.value != 0);
        row.check->setEnabled(editable);
        grid->addWidget(row.check, line, 1, 1, 2);
        connect(row.check, &QCheckBox::toggled, this,
                [this, index](bool on) { apply(index, on ? 1 : 0); });
        break;
    case CameraControl::Type::Menu:
    case CameraControl::Type::IntegerMenu:
        row.menu = new QComboBox(this);
        for (const auto &[value, text] : control.menuItems)
            row.menu->addItem(QString::fromStdString(text), value);
        row.menu->setCurrentIndex(row.menu->findData(control.value));
        row.menu->setEnabled(editable);
        grid->addWidget(row.menu, line, 1, 1, 2);
        connect(row.menu, &QComboBox::activated, this, [this, index](int item) {
            apply(index, m_rows[index].menu->itemData(item).toInt());
        });
        break;
    case CameraControl::Type::Button:
        row.button = new QPushButton(QString::fromStdString(control.name), this);
        row.button->setAutoDefault(false);
        row.button->setEnabled(editable);
        grid->addWidget(row.button, line, 1, 1, 2, Qt::AlignLeft);
        connect(row.button, &QPushButton::clicked, this, [this, index] { apply(index, 1); });
        break;
    case CameraControl::Type::Integer:
    default:
        row.slider = new QSlider(Qt::Horizontal, this);
        row.slider->setRange(control.minimum, control.maximum);
        row.slider->setSingleStep(std::max(1, control.step));
        row.slider->setPageStep(std::max(1, control.step) * 10);
        row.slider->setValue(control.value);
        row.slider->setEnabled(editable);
        row.value = new QLabel(QString::number(control.value), this);
        row.value->setMinimumWidth(48);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(row.slider, line, 1);
        grid->addWidget(row.value, line, 2);
        // Applied as it moves, not only when it is let go.
        connect(row.slider, &QSlider::valueChanged, this,
                [this, index](int value) { apply(index, value); });
        break;
    }
    m_rows.push_back(row);
}

void CDevicePropertiesDlg::apply(size_t index, int32_t value)
{
    Row &row = m_rows[index];
    if (row.slider && row.control.step > 1) {
        // Keep to the control's steps from its minimum.
        const int32_t offset = (value - row.control.minimum) / row.control.step * row.control.step;
        value = row.control.minimum + offset;
    }
    m_camera.setControl(row.control.id, value);
    if (row.control.type == CameraControl::Type::Button)
        return;
    int32_t actual = value;
    if (m_camera.control(row.control.id, actual) < 0)
        actual = value;
    showValue(row, actual);
}

void CDevicePropertiesDlg::showValue(Row &row, int32_t value)
{
    row.control.value = value;
    if (row.slider) {
        const QSignalBlocker block(row.slider);
        row.slider->setValue(value);
        row.value->setText(QString::number(value));
    }
    if (row.check) {
        const QSignalBlocker block(row.check);
        row.check->setChecked(value != 0);
    }
    if (row.menu) {
        const QSignalBlocker block(row.menu);
        row.menu->setCurrentIndex(row.menu->findData(value));
    }
}

void CDevicePropertiesDlg::SetDefaults()
{
    m_camera.resetControls();
    RefreshValues();
}

void CDevicePropertiesDlg::RefreshValues()
{
    for (Row &row : m_rows) {
        if (row.control.type == CameraControl::Type::Button)
            continue;
        int32_t value = row.control.value;
        if (m_camera.control(row.control.id, value) >= 0)
            showValue(row, value);
    }
}

QWidget *CDevicePropertiesDlg::EditorOf(uint32_t controlId) const
{
    for (const Row &row : m_rows) {
        if (row.control.id != controlId)
            continue;
        if (row.slider)
            return row.slider;
        if (row.check)
            return row.check;
        if (row.menu)
            return row.menu;
        return row.button;
    }
    return nullptr;
}

void CDevicePropertiesDlg::keyPressEvent(QKeyEvent *event)
{
    // Enter would close the dialog through the default button; the controls apply at once,
    // so there is nothing to confirm.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
