#include "CResourceBrowserView.h"

#include "win/common/AppServices.h"

#include "CResourcesBrowserDlg.h"

#include <QResizeEvent>

CResourceBrowserView::CResourceBrowserView(const AppServices &services,
                                           varnolet::MessageBox messages, QWidget *parent,
                                           ShellOpener::Handler opener)
    : QWidget(parent)
    , m_panel(new CResourcesBrowserDlg(services, std::move(messages), this, std::move(opener)))
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
