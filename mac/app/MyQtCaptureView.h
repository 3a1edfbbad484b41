#pragma once

#include <functional>

#include <QWidget>

#include "mac/app/PixelBuffer.h"

// The preview view: paints the newest frame scaled to its whole area. Escape and a double
// click ask its delegate to leave full screen.
class MyQtCaptureView final : public QWidget
{
    Q_OBJECT

public:
    explicit MyQtCaptureView(QWidget *parent = nullptr);

    void setFrame(PixelBufferRef frame);
    const PixelBufferRef &frame() const { return m_frame; }
    // Called with Escape and with a double click; empty: nothing happens.
    void setStopFullScreenDelegate(std::function<void()> delegate);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void stopFullScreen();

    PixelBufferRef m_frame;
    QImage m_image;
    std::function<void()> m_stopFullScreen;
};
