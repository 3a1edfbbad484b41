#pragma once

#include <functional>

#include <QWidget>

#include "mac/controller/PixelBuffer.h"
#include "platform/media/BgrScreenScaler.h"

// The preview view: paints the newest frame scaled (smooth, bilinear) to its whole area, or, while
// it keeps the picture's aspect ratio (full screen), to the largest centred rectangle of the
// picture's shape with black bars beside it. Escape and a double click ask its delegate to
// leave full screen.
class MyQtCaptureView final : public QWidget
{
    Q_OBJECT

public:
    explicit MyQtCaptureView(QWidget *parent = nullptr);

    void setFrame(PixelBufferRef frame);
    const PixelBufferRef &frame() const { return m_frame; }
    void setKeepAspectRatio(bool keep);
    bool keepAspectRatio() const { return m_keepAspectRatio; }
    // Where the picture is painted inside the view.
    QRect pictureRect() const;
    // Called with Escape and with a double click; empty: nothing happens.
    void setStopFullScreenDelegate(std::function<void()> delegate);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void stopFullScreen();

    PixelBufferRef m_frame;
    // The frame in the screen's pixel format at the painted size, made when painting needs it.
    varnolet::BgrScreenScaler m_scaler;
    QImage m_image;
    bool m_imageCurrent = false; // m_image shows m_frame
    std::function<void()> m_stopFullScreen;
    bool m_keepAspectRatio = false;
};
