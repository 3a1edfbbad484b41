#include "CNormalSplitterWnd.h"

CNormalSplitterWnd::CNormalSplitterWnd(Qt::Orientation orientation, QWidget *parent)
    : QSplitter(orientation, parent)
{
    setHandleWidth(8);
    setOpaqueResize(true);
}

int CNormalSplitterWnd::ActivePane() const
{
    // The window's focus widget is known even while the window is not the active one.
    const QWidget *focus = window()->focusWidget();
    for (int i = 0; i < count(); ++i) {
        const QWidget *pane = widget(i);
        if (focus && (focus == pane || pane->isAncestorOf(focus)))
            return i;
    }
    return -1;
}

void CNormalSplitterWnd::SetActivePane(int index)
{
    if (QWidget *pane = widget(index))
        pane->setFocus(Qt::OtherFocusReason);
}
