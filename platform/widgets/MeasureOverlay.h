#pragma once

#include "platform/measure/OverlayLayer.h"

#include <functional>

#include <QRect>
#include <QWidget>

class QAction;
class QMenu;

namespace varnolet {

class MeasureController;

// A transparent layer over a live-picture view that draws the controller's scale bar and
// measurements and turns clicks into measurement points. It covers its parent and follows
// its size; where the picture lies in the parent comes from pictureRect, so measurements
// stay on the picture through resizing, letterboxing and full screen. Without a tool in
// use, clicks and double clicks pass on to the view.
//
// Right click opens the measuring menu; its commands also have window-wide shortcuts
// (Escape only while there is something to clear).
class MeasureOverlay final : public QWidget
{
public:
    MeasureOverlay(MeasureController &controller, std::function<QRect()> pictureRect,
                   QWidget *view);

    // The context menu as it is now (built fresh for every right click).
    QMenu *buildMenu(QWidget *parent);
    // Looks the texts up again.
    void retitle();
    // Picture coordinates of a point of the overlay; false when it is off the picture.
    bool toPicture(const QPointF &position, QPointF &picture) const;
    // The overlay point of a picture point.
    QPointF fromPicture(const QPointF &picture) const;
    MeasureController &controller() const { return m_controller; }

    QAction *clearAction() const { return m_clear; }
    const OverlayLayer &layer() const { return m_layer; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QAction *addToolAction(int tool, const char *shortcut);
    void askCalibration(double pixelLength);
    void askPresetName(const QString &title, const QString &current,
                       const std::function<void(const std::string &)> &done);
    void updateState();

    MeasureController &m_controller;
    std::function<QRect()> m_pictureRect;
    OverlayLayer m_layer;
    std::vector<QAction *> m_toolActions; // in Measurement::Tool order
    QAction *m_finish;
    QAction *m_clear;
    QAction *m_escape;
    QAction *m_burnIn;
};

} // namespace varnolet
