#include "CXSplitterHandle.h"

#include "win/app/CXSplitterWnd.h"

#include <QMouseEvent>
#include <QPainter>

CXSplitterHandle::CXSplitterHandle(Qt::Orientation orientation, CXSplitterWnd *parent)
    : QSplitterHandle(orientation, parent)
    , m_owner(parent)
{
    setMouseTracking(true);
    // A right click swaps the toggle's mode; it must not open the window's menu as well.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void CXSplitterHandle::paintEvent(QPaintEvent *event)
{
    if (m_owner->CollapseMode() == CXSplitterWnd::NoToggle) {
        QSplitterHandle::paintEvent(event);
        return;
    }
    QPainter painter(this);
    m_owner->paintBar(painter, QRect(mapTo(m_owner, QPoint(0, 0)), size()));
}

void CXSplitterHandle::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = mapTo(m_owner, event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_owner->onButtonDown(at);
        if (m_owner->overToggle(at))
            return; // a click on the toggle never starts a drag
        m_dragging = true;
    }
    QSplitterHandle::mousePressEvent(event);
}

void CXSplitterHandle::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint at = mapTo(m_owner, event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        m_owner->SwapMode();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const bool wasDragging = m_dragging;
        m_dragging = false;
        if (m_owner->onButtonUp(at) && !wasDragging)
            return;
    }
    QSplitterHandle::mouseReleaseEvent(event);
}

void CXSplitterHandle::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = mapTo(m_owner, event->position().toPoint());
    m_owner->onMouseMove();
    const bool onToggle = m_owner->overToggle(at);
    if (onToggle || !m_owner->IsToggleEnabled())
        setCursor(Qt::ArrowCursor);
    else
        setCursor(orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    if (m_dragging)
        QSplitterHandle::mouseMoveEvent(event);
}
