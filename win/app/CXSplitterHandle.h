#pragma once

#include <QSplitterHandle>

class CXSplitterWnd;

// The bar of a CXSplitterWnd: it draws the toggle and hands the mouse to its splitter,
// which decides between the toggle and ordinary dragging.
class CXSplitterHandle final : public QSplitterHandle
{
public:
    CXSplitterHandle(Qt::Orientation orientation, CXSplitterWnd *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    CXSplitterWnd *m_owner;
    bool m_dragging = false;
};
