#include "MyQtCaptureView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "mac/core/SettingParams.h"

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
    m_imageCurrent = false;
    update();
}

void MyQtCaptureView::setStopFullScreenDelegate(std::function<void()> delegate)
{
    m_stopFullScreen = std::move(delegate);
}

void MyQtCaptureView::setKeepAspectRatio(bool keep)
{
    if (keep == m_keepAspectRatio)
        return;
    m_keepAspectRatio = keep;
    m_imageCurrent = false;
    update();
}

QRect MyQtCaptureView::pictureRect() const
{
    if (!m_keepAspectRatio || !m_frame || m_frame->isEmpty())
        return rect();
    // The whole picture, centred, as the window lays the view out in its pane.
    const QRectF fitted =
        SettingParams::getDrawingRect(QSizeF(m_frame->width, m_frame->height), QSizeF(size()));
    return fitted.toRect().intersected(rect());
}

void MyQtCaptureView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect target = pictureRect();
    if (!m_frame || m_frame->isEmpty() || target.width() <= 0 || target.height() <= 0) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (!m_imageCurrent || m_image.size() != target.size()) {
        // Scaled once per frame, straight from the frame into the backing store's format at
        // the painted size (bilinear, as a smooth-scaling painter would), into an image that
        // is reused while the size stays; painting it is then a plain copy.
        if (m_image.size() != target.size())
            m_image = QImage(target.size(), QImage::Format_RGB32);
        if (m_image.isNull() ||
            !m_scaler.scale(m_frame->pixels.data(), m_frame->width, m_frame->height,
                            m_frame->bottomUp, m_image.bits(), target.width(), target.height(),
                            static_cast<int>(m_image.bytesPerLine()))) {
            m_image = QImage();
            painter.fillRect(rect(), Qt::black);
            return;
        }
        m_imageCurrent = true;
    }
    if (target != rect()) {
        // The bars beside or above and below the picture.
        const QRegion bars = QRegion(rect()).subtracted(QRegion(target));
        for (const QRect &bar : bars)
            painter.fillRect(bar, Qt::black);
    }
    painter.drawImage(target.topLeft(), m_image);
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
