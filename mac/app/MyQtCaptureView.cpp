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
    m_image = QImage();
    update();
}

void MyQtCaptureView::setStopFullScreenDelegate(std::function<void()> delegate)
{
    m_stopFullScreen = std::move(delegate);
}

void MyQtCaptureView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_frame || m_frame->isEmpty() || width() <= 0 || height() <= 0) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (m_image.isNull() || m_image.size() != size()) {
        m_scaled.width = width();
        m_scaled.height = height();
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
    painter.drawImage(0, 0, m_image);
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
