#include "MeasureOverlay.h"

#include "CalibrationDialog.h"
#include "MeasureController.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QEvent>
#include <QInputDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace varnolet {

namespace {

struct ToolText
{
    const char *key;
    const char *builtIn;
};

// In Measurement::Tool order.
constexpr ToolText kToolTexts[] = {
    {"ui_measure_menu_line", "Measure a Length"},
    {"ui_measure_menu_polyline", "Measure a Polyline"},
    {"ui_measure_menu_circle", "Circle by Three Points"},
    {"ui_measure_menu_angle", "Measure an Angle"},
    {"ui_measure_menu_calibrate", "Calibrate..."},
};

constexpr double kLiveTextSize = 13.0;

} // namespace

MeasureOverlay::MeasureOverlay(MeasureController &controller, std::function<QRect()> pictureRect,
                               QWidget *view)
    : QWidget(view)
    , m_controller(controller)
    , m_pictureRect(std::move(pictureRect))
{
    setObjectName(QStringLiteral("measureOverlay"));
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setGeometry(view->rect());
    view->installEventFilter(this);

    addToolAction(int(Measurement::Tool::Line), "Ctrl+Shift+L");
    addToolAction(int(Measurement::Tool::Polyline), "Ctrl+Shift+P");
    addToolAction(int(Measurement::Tool::Circle), "Ctrl+Shift+C");
    addToolAction(int(Measurement::Tool::Angle), "Ctrl+Shift+A");
    addToolAction(int(Measurement::Tool::Calibrate), "Ctrl+Shift+K");
    m_finish = new QAction(this);
    m_finish->setShortcut(QKeySequence(Qt::Key_Return));
    m_clear = new QAction(this);
    m_clear->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+X")));
    m_escape = new QAction(this);
    m_escape->setShortcut(QKeySequence(Qt::Key_Escape));
    m_burnIn = new QAction(this);
    m_burnIn->setCheckable(true);
    m_burnIn->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+B")));
    for (QAction *action : {m_finish, m_clear, m_escape, m_burnIn}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    connect(m_finish, &QAction::triggered, this, [this] { m_controller.finishDrawing(); });
    connect(m_clear, &QAction::triggered, this, [this] { m_controller.clear(); });
    connect(m_escape, &QAction::triggered, this, [this] {
        m_controller.clear();
        m_controller.setTool(std::nullopt);
    });
    connect(m_burnIn, &QAction::toggled, this, [this](bool on) { m_controller.setBurnIn(on); });
    connect(&m_controller, &MeasureController::changed, this, [this] {
        updateState();
        update();
    });
    connect(&m_controller, &MeasureController::calibrationLineDrawn, this,
            &MeasureOverlay::askCalibration, Qt::QueuedConnection);
    retitle();
    updateState();
    raise();
    show();
}

QAction *MeasureOverlay::addToolAction(int tool, const char *shortcut)
{
    auto *action = new QAction(this);
    action->setCheckable(true);
    action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, [this, tool](bool on) {
        m_controller.setTool(on ? std::optional(static_cast<Measurement::Tool>(tool))
                                : std::nullopt);
    });
    m_toolActions.push_back(action);
    return action;
}

void MeasureOverlay::retitle()
{
    for (size_t i = 0; i < m_toolActions.size(); ++i)
        m_toolActions[i]->setText(m_controller.text(kToolTexts[i].key, kToolTexts[i].builtIn));
    m_finish->setText(m_controller.text("ui_measure_menu_finish", "Finish the Polyline"));
    m_clear->setText(m_controller.text("ui_measure_menu_clear", "Clear Measurements"));
    m_escape->setText(m_controller.text("ui_measure_menu_clear", "Clear Measurements"));
    m_burnIn->setText(
        m_controller.text("ui_measure_menu_burn_in", "Put Scale and Measurements on Photos"));
    m_controller.retitle();
}

void MeasureOverlay::updateState()
{
    const auto tool = m_controller.tool();
    for (size_t i = 0; i < m_toolActions.size(); ++i)
        m_toolActions[i]->setChecked(tool && static_cast<size_t>(*tool) == i);
    m_finish->setEnabled(m_controller.isDrawing() && tool == Measurement::Tool::Polyline);
    m_clear->setEnabled(m_controller.hasMeasurements());
    // Escape is the view's own key (leaving full screen) unless there is something to drop.
    m_escape->setEnabled(m_controller.hasMeasurements() || tool.has_value());
    m_burnIn->setChecked(m_controller.burnIn());
    setCursor(tool ? Qt::CrossCursor : Qt::ArrowCursor);
}

bool MeasureOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return QWidget::eventFilter(watched, event);
}

bool MeasureOverlay::toPicture(const QPointF &position, QPointF &picture) const
{
    const QRect target = m_pictureRect();
    const QSize size = m_controller.pictureSize();
    if (target.isEmpty() || size.isEmpty() || !QRectF(target).contains(position))
        return false;
    picture = QPointF((position.x() - target.x()) * size.width() / target.width(),
                      (position.y() - target.y()) * size.height() / target.height());
    return true;
}

QPointF MeasureOverlay::fromPicture(const QPointF &picture) const
{
    const QRect target = m_pictureRect();
    const QSize size = m_controller.pictureSize();
    if (size.isEmpty())
        return QPointF();
    return QPointF(target.x() + picture.x() * target.width() / size.width(),
                   target.y() + picture.y() * target.height() / size.height());
}

void MeasureOverlay::paintEvent(QPaintEvent *)
{
    const QRect target = m_pictureRect();
    if (target.isEmpty())
        return;
    QPainter painter(this);
    m_layer.paint(painter, m_controller.scene(), target, kLiveTextSize);
}

void MeasureOverlay::mousePressEvent(QMouseEvent *event)
{
    QPointF picture;
    if (event->button() != Qt::LeftButton || !m_controller.tool() ||
        !toPicture(event->position(), picture)) {
        event->ignore();
        return;
    }
    m_controller.addPoint(picture);
}

void MeasureOverlay::mouseMoveEvent(QMouseEvent *event)
{
    QPointF picture;
    if (!m_controller.isDrawing()) {
        event->ignore();
        return;
    }
    if (toPicture(event->position(), picture))
        m_controller.setHover(picture);
    else
        m_controller.setHover(std::nullopt);
}

void MeasureOverlay::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_controller.tool()) {
        event->ignore(); // the view's own double click
        return;
    }
    if (m_controller.tool() == Measurement::Tool::Polyline)
        m_controller.finishDrawing();
}

QMenu *MeasureOverlay::buildMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("measureMenu"));
    for (size_t i = 0; i + 1 < m_toolActions.size(); ++i)
        menu->addAction(m_toolActions[i]);
    if (m_finish->isEnabled())
        menu->addAction(m_finish);
    menu->addAction(m_clear);
    menu->addSeparator();
    menu->addAction(m_toolActions.back()); // calibrate

    QMenu *presets = menu->addMenu(m_controller.text("ui_measure_menu_preset", "Preset"));
    const std::string current = m_controller.currentPreset();
    for (const std::string &name : m_controller.presetNames()) {
        QAction *choose = presets->addAction(QString::fromStdString(name));
        choose->setCheckable(true);
        choose->setChecked(name == current);
        connect(choose, &QAction::triggered, this,
                [this, name] { m_controller.choosePreset(name); });
    }
    presets->addSeparator();
    QAction *add =
        presets->addAction(m_controller.text("ui_measure_menu_preset_add", "New Preset..."));
    connect(add, &QAction::triggered, this, [this, add] {
        askPresetName(add->text(), QString(),
                      [this](const std::string &name) { m_controller.addPreset(name); });
    });
    QAction *rename =
        presets->addAction(m_controller.text("ui_measure_menu_preset_rename", "Rename Preset..."));
    rename->setEnabled(!current.empty());
    connect(rename, &QAction::triggered, this, [this, rename, current] {
        askPresetName(
            rename->text(), QString::fromStdString(current),
            [this, current](const std::string &name) { m_controller.renamePreset(current, name); });
    });
    QAction *remove =
        presets->addAction(m_controller.text("ui_measure_menu_preset_delete", "Delete Preset"));
    remove->setEnabled(!current.empty());
    connect(remove, &QAction::triggered, this,
            [this, current] { m_controller.deletePreset(current); });

    menu->addSeparator();
    menu->addAction(m_burnIn);
    return menu;
}

void MeasureOverlay::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_controller.isDrawing() && m_controller.tool() == Measurement::Tool::Polyline) {
        m_controller.finishDrawing(); // a right click ends a polyline
        return;
    }
    QMenu *menu = buildMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void MeasureOverlay::askPresetName(const QString &title, const QString &current,
                                   const std::function<void(const std::string &)> &done)
{
    auto *dialog = new QInputDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title.endsWith(QLatin1String("...")) ? title.chopped(3) : title);
    dialog->setLabelText(m_controller.text("ui_calibrate_lab_preset", "Preset:"));
    dialog->setTextValue(current);
    connect(dialog, &QInputDialog::textValueSelected, this, [done](const QString &text) {
        if (!text.trimmed().isEmpty())
            done(text.trimmed().toStdString());
    });
    dialog->open();
}

void MeasureOverlay::askCalibration(double pixelLength)
{
    auto *dialog = new CalibrationDialog(m_controller, pixelLength, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, pixelLength] {
        m_controller.calibrate(pixelLength, dialog->knownLength(), dialog->unit(),
                               dialog->presetName());
        m_controller.setTool(std::nullopt);
    });
    dialog->open();
}

} // namespace varnolet
