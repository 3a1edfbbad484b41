#pragma once

#include <QRect>
#include <QWidget>

class AppServices;
class CPictureArea;

// The right-hand pane of the main window. It holds the picture area and keeps it at the
// aspect ratio of the capture size of the settings, as large as fits and centred, so the
// live picture is letterboxed or pillarboxed instead of stretched.
class CPreviewWindow final : public QWidget
{
public:
    static constexpr int kPreviewResizedMessage = 1124;

    // services: whose settings give the capture size (outlives the pane). messageTarget
    // receives PreviewResizedMessage (sent, not posted) after every size change.
    CPreviewWindow(const AppServices &services, QObject *messageTarget, QWidget *parent = nullptr);

    // The picture rectangle for a pane's client rectangle and a capture size. A capture
    // size without area gives the whole client rectangle.
    static QRect PictureRectangle(const QRect &client, int captureWidth, int captureHeight);

    // Moves the picture area to the picture rectangle of the current settings.
    void LayoutPictureArea();

    CPictureArea *PictureArea() const { return m_pictureArea; }
    void SetMessageTarget(QObject *target) { m_messageTarget = target; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    const AppServices &m_services;
    QObject *m_messageTarget;
    CPictureArea *m_pictureArea;
};
