#include "CResourceBrowserView.h"

#include "CResourcesBrowserDlg.h"

#include <QResizeEvent>

CResourceBrowserView::CResourceBrowserView(QWidget *parent, ShellOpener::Handler opener)
    : QWidget(parent)
    , m_panel(new CResourcesBrowserDlg(this, std::move(opener)))
{
    setObjectName(QStringLiteral("ResourceBrowserView"));
    m_panel->setGeometry(0, 0, width(), height());
}

CResourceBrowserView::~CResourceBrowserView() = default;

void CResourceBrowserView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_panel->setGeometry(0, 0, event->size().width(), event->size().height());
}
