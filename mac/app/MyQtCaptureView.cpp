#include "MyQtCaptureView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

MyQtCaptureView::MyQtCaptureView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("captureView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void MyQtCaptureView::setFrame(PixelBufferRef frame)
{
    m_frame = std::move(frame);
    m_image = m_frame ? m_frame->toQImage() : QImage();
    update();
}

void MyQtCaptureView::setStopFullScreenDelegate(std::function<void()> delegate)
{
    m_stopFullScreen = std::move(delegate);
}

void MyQtCaptureView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_image.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), m_image);
}

void MyQtCaptureView::keyPressEvent(QKeyEvent *event)
{
    // The key's whole text must be the one Escape character.
    if (event->text() == QString(QChar(27)) || event->key() == Qt::Key_Escape) {
        stopFullScreen();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MyQtCaptureView::mouseDoubleClickEvent(QMouseEvent *)
{
    stopFullScreen();
}

void MyQtCaptureView::stopFullScreen()
{
    if (m_stopFullScreen)
        m_stopFullScreen();
}
