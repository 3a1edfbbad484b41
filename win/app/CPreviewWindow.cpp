#include "CPreviewWindow.h"

#include "win/app/CPictureArea.h"
#include "win/common/AppServices.h"

#include <QPainter>
#include <QResizeEvent>

#include "platform/system/WindowMessage.h"

CPreviewWindow::CPreviewWindow(const AppServices &services, QObject *messageTarget, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_messageTarget(messageTarget)
    , m_pictureArea(new CPictureArea(this))
{
    setObjectName(QStringLiteral("previewWindow"));
    LayoutPictureArea();
    m_pictureArea->show();
}

QRect CPreviewWindow::PictureRectangle(const QRect &client, int captureWidth, int captureHeight)
{
    const int W = client.width();
    const int H = client.height();
    if (captureWidth <= 0 || captureHeight <= 0 || W <= 0 || H <= 0)
        return client;
    const double a = static_cast<double>(captureHeight) / captureWidth;
    int width = 0;
    int height = 0;
    if (static_cast<double>(H) / W > a) {
        width = W;
        height = static_cast<int>(a * W);
    } else {
        width = static_cast<int>(H / a);
        height = H;
    }
    return QRect(client.left() + (W - width) / 2, client.top() + (H - height) / 2, width, height);
}

void CPreviewWindow::LayoutPictureArea()
{
    if (!m_pictureArea)
        return;
    const SettingValues settings = m_services.Settings().GetUsingSettings();
    m_pictureArea->setGeometry(
        PictureRectangle(rect(), settings.captureWidth, settings.captureHeight));
    update();
}

void CPreviewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_pictureArea)
        return;
    LayoutPictureArea();
    if (m_pictureArea)
        varnolet::WindowMessage::send(m_messageTarget, kPreviewResizedMessage);
}

void CPreviewWindow::paintEvent(QPaintEvent *)
{
    // The bars around the picture.
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x20, 0x20, 0x20));
}
