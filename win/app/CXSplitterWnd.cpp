#include "CXSplitterWnd.h"

#include "win/app/AppText.h"
#include "win/app/CXSplitterHandle.h"

#include "platform/system/SystemPaths.h"

#include <QCursor>
#include <QPainter>
#include <QPolygon>

namespace {

enum Strip { StripLeft = 0, StripRight = 1, StripUp = 2, StripDown = 3 };

// One toggle strip: three arrows side by side (green, red, grey), each 8 x 50 for the
// left and right strips and 50 x 8 for the up and down strips.
QPixmap makeStrip(int strip)
{
    const bool vertical = strip == StripLeft || strip == StripRight;
    const QSize one = vertical ? QSize(8, 50) : QSize(50, 8);
    QPixmap pixmap(vertical ? QSize(24, 50) : QSize(150, 8));
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor colours[3] = {QColor(0x2e, 0x9d, 0x3a), QColor(0xd6, 0x2b, 0x2b),
                               QColor(0x90, 0x90, 0x90)};
    for (int i = 0; i < 3; ++i) {
        const QPointF origin = vertical ? QPointF(i * one.width(), 0) : QPointF(i * one.width(), 0);
        const double w = one.width();
        const double h = one.height();
        QPolygonF arrow;
        switch (strip) {
        case StripLeft:
            arrow << QPointF(1.5, h / 2) << QPointF(w - 1.5, h / 2 - 6)
                  << QPointF(w - 1.5, h / 2 + 6);
            break;
        case StripRight:
            arrow << QPointF(w - 1.5, h / 2) << QPointF(1.5, h / 2 - 6) << QPointF(1.5, h / 2 + 6);
            break;
        case StripUp:
            arrow << QPointF(w / 2, 1.5) << QPointF(w / 2 - 6, h - 1.5)
                  << QPointF(w / 2 + 6, h - 1.5);
            break;
        default:
            arrow << QPointF(w / 2, h - 1.5) << QPointF(w / 2 - 6, 1.5) << QPointF(w / 2 + 6, 1.5);
            break;
        }
        arrow.translate(origin);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colours[i]);
        painter.drawPolygon(arrow);
    }
    return pixmap;
}

} // namespace

CXSplitterWnd::CXSplitterWnd(Qt::Orientation orientation, const varnolet::SystemPaths &paths,
                             QWidget *parent)
    : QSplitter(orientation, parent)
{
    // The shipped strips, else drawn ones of the same layout.
    static const char *const kStripFiles[4] = {
        "Resource/Image/ToggleLeft.png", "Resource/Image/ToggleRight.png",
        "Resource/Image/ToggleUp.png", "Resource/Image/ToggleDown.png"};
    for (int i = 0; i < 4; ++i) {
        const QSize expected = (i == StripLeft || i == StripRight) ? QSize(24, 50) : QSize(150, 8);
        QPixmap shipped(ShippedFilePath(paths, QString::fromLatin1(kStripFiles[i])));
        m_strips[i] = shipped.size() == expected ? shipped : makeStrip(i);
    }
    setHandleWidth(kBarWidth);
    setChildrenCollapsible(true);
    setOpaqueResize(true);
    m_hoverTimer.setInterval(kHoverPeriodMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CXSplitterWnd::onHoverTimer);
}

QSplitterHandle *CXSplitterWnd::createHandle()
{
    return new CXSplitterHandle(orientation(), this);
}

void CXSplitterWnd::SetCollapseMode(int mode)
{
    m_mode = (mode >= NoToggle && mode <= CollapseSecondRow) ? mode : NoToggle;
    repaintToggle();
}

void CXSplitterWnd::SetToggleEnabled(bool enabled)
{
    m_toggleEnabled = enabled;
    repaintToggle();
}

QRect CXSplitterWnd::ToggleRect() const
{
    if (m_mode == NoToggle || count() < 2)
        return QRect();
    const QSplitterHandle *bar = handle(1);
    if (!bar || bar->isHidden())
        return QRect();
    const QRect barRect(bar->pos(), bar->size());
    if (isColumnMode())
        return QRect(barRect.left(), height() / 2 - kToggleLength / 2, kBarWidth, kToggleLength);
    return QRect(width() / 2 - kToggleLength / 2, barRect.top(), kToggleLength, kBarWidth);
}

int CXSplitterWnd::ToggleStrip() const
{
    switch (m_mode) {
    case CollapseFirstColumn:
        return m_collapsed ? StripRight : StripLeft;
    case CollapseSecondColumn:
        return m_collapsed ? StripLeft : StripRight;
    case CollapseFirstRow:
        return m_collapsed ? StripDown : StripUp;
    case CollapseSecondRow:
        return m_collapsed ? StripUp : StripDown;
    default:
        return -1;
    }
}

bool CXSplitterWnd::overToggle(const QPoint &splitterPos) const
{
    return m_toggleEnabled && m_mode != NoToggle && ToggleRect().contains(splitterPos);
}

void CXSplitterWnd::Collapse()
{
    if (m_collapsed || m_mode == NoToggle || count() < 2)
        return;
    QList<int> current = sizes();
    QWidget *first = widget(0);
    const bool columns = isColumnMode();
    m_savedSize = current[0];
    m_savedMinimum = columns ? first->minimumWidth() : first->minimumHeight();
    const int total = current[0] + current[1];
    switch (m_mode) {
    case CollapseFirstColumn:
    case CollapseFirstRow:
        setSizes({m_savedMinimum, total - m_savedMinimum});
        break;
    default:
        setSizes({total, 0});
        break;
    }
    m_collapsed = true;
    repaintToggle();
}

void CXSplitterWnd::Expand()
{
    if (!m_collapsed || count() < 2)
        return;
    QList<int> current = sizes();
    const int total = current[0] + current[1];
    QWidget *first = widget(0);
    if (isColumnMode())
        first->setMinimumWidth(m_savedMinimum);
    else
        first->setMinimumHeight(m_savedMinimum);
    const int restored = std::min(m_savedSize, total);
    setSizes({restored, total - restored});
    m_collapsed = false;
    repaintToggle();
}

void CXSplitterWnd::SwapMode()
{
    switch (m_mode) {
    case CollapseFirstColumn:
        m_mode = CollapseSecondColumn;
        break;
    case CollapseSecondColumn:
        m_mode = CollapseFirstColumn;
        break;
    case CollapseFirstRow:
        m_mode = CollapseSecondRow;
        break;
    case CollapseSecondRow:
        m_mode = CollapseFirstRow;
        break;
    default:
        return;
    }
    repaintToggle();
}

void CXSplitterWnd::paintBar(QPainter &painter, const QRect &barRect)
{
    // The handle paints in its own coordinates; barRect is where it sits in ours.
    const QRect local(QPoint(0, 0), barRect.size());
    painter.fillRect(local, palette().color(QPalette::Button));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(local.topLeft(), local.topRight());
    painter.drawLine(local.topLeft(), local.bottomLeft());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(local.bottomLeft(), local.bottomRight());
    painter.drawLine(local.topRight(), local.bottomRight());
    const int strip = ToggleStrip();
    if (strip < 0)
        return;
    const QRect toggle = ToggleRect().translated(-barRect.topLeft());
    const QPixmap &pixmap = m_strips[strip];
    const bool vertical = strip == StripLeft || strip == StripRight;
    const QSize one = vertical ? QSize(8, 50) : QSize(50, 8);
    const QRect source(QPoint(ToggleImage() * one.width(), 0), one);
    painter.drawPixmap(toggle, pixmap, source);
}

void CXSplitterWnd::onButtonDown(const QPoint &)
{
    m_pressed = true;
}

bool CXSplitterWnd::onButtonUp(const QPoint &splitterPos)
{
    m_pressed = false;
    if (!overToggle(splitterPos))
        return false;
    Toggle();
    return true;
}

void CXSplitterWnd::onMouseMove()
{
    if (!m_hoverTimer.isActive())
        m_hoverTimer.start();
}

void CXSplitterWnd::onHoverTimer()
{
    const bool over = !m_pressed && overToggle(mapFromGlobal(QCursor::pos()));
    if (over) {
        if (!m_hover) {
            m_hover = true;
            repaintToggle();
        }
        return;
    }
    m_hoverTimer.stop();
    if (m_hover) {
        m_hover = false;
        repaintToggle();
    }
}

void CXSplitterWnd::repaintToggle()
{
    for (int i = 1; i < count(); ++i) {
        if (QSplitterHandle *bar = handle(i))
            bar->update();
    }
}
