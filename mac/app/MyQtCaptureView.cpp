#include "MyQtCaptureView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "mac/app/SettingParams.h"

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
    m_image = QImage();
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
    m_image = QImage();
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
    if (m_image.isNull() || m_image.size() != target.size()) {
        m_scaled.width = target.width();
        m_scaled.height = target.height();
        m_scaled.bottomUp = m_frame->bottomUp;
        m_scaled.pixels.resize(static_cast<size_t>(m_scaled.stride()) * m_scaled.height);
        if (!m_scaler.scale(m_frame->pixels.data(), m_frame->width, m_frame->height,
                            m_scaled.pixels.data(), m_scaled.width, m_scaled.height)) {
            painter.fillRect(rect(), Qt::black);
            return;
        }
        // Straight into the backing store's own format, so painting is a plain copy.
        m_image = QImage(m_scaled.width, m_scaled.height, QImage::Format_RGB32);
        for (int y = 0; y < m_scaled.height; ++y) {
            const uint8_t *source = m_scaled.row(y);
            auto *target = reinterpret_cast<QRgb *>(m_image.scanLine(y));
            for (int x = 0; x < m_scaled.width; ++x, source += 3)
                target[x] = qRgb(source[2], source[1], source[0]);
        }
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
