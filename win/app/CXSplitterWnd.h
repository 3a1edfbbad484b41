#pragma once

#include <QPixmap>
#include <QRect>
#include <QSplitter>
#include <QTimer>

class CXSplitterHandle;

namespace varnolet {
class SystemPaths;
}

// A splitter of two panes whose bar carries a toggle: one click collapses a pane to
// nothing, the next brings it back at its remembered size. A right click swaps which of
// the two panes the toggle collapses.
class CXSplitterWnd final : public QSplitter
{
public:
    enum CollapseMode {
        NoToggle = 0,
        CollapseFirstColumn = 1,
        CollapseSecondColumn = 2,
        CollapseFirstRow = 3,
        CollapseSecondRow = 4,
    };
    static constexpr int kBarWidth = 8;
    static constexpr int kToggleLength = 50;
    static constexpr int kHoverPeriodMs = 10;

    // The strips are the shipped pictures of the program folder of paths, else drawn ones.
    CXSplitterWnd(Qt::Orientation orientation, const varnolet::SystemPaths &paths,
                  QWidget *parent = nullptr);

    void SetCollapseMode(int mode);
    int CollapseMode() const { return m_mode; }
    bool IsCollapsed() const { return m_collapsed; }
    void SetToggleEnabled(bool enabled);
    bool IsToggleEnabled() const { return m_toggleEnabled; }
    bool IsHover() const { return m_hover; }

    void Collapse();
    void Expand();
    void Toggle() { m_collapsed ? Expand() : Collapse(); }
    // Right click: mode 1 <-> 2, 3 <-> 4; the collapsed flag and the remembered sizes stay.
    void SwapMode();

    // The toggle on the bar, in the splitter's coordinates (empty while the bar is hidden
    // or no mode is set).
    QRect ToggleRect() const;
    // Which image of the toggle strips is drawn now: the strip (0 left, 1 right, 2 up,
    // 3 down) and the image within it (0 green, 1 red).
    int ToggleStrip() const;
    int ToggleImage() const { return m_hover ? 1 : 0; }

protected:
    QSplitterHandle *createHandle() override;

private:
    friend class CXSplitterHandle;

    bool isColumnMode() const
    {
        return m_mode == CollapseFirstColumn || m_mode == CollapseSecondColumn;
    }
    bool overToggle(const QPoint &splitterPos) const;
    void paintBar(QPainter &painter, const QRect &barRect);
    void onButtonDown(const QPoint &splitterPos);
    bool onButtonUp(const QPoint &splitterPos);
    void onMouseMove();
    void onHoverTimer();
    void repaintToggle();

    QPixmap m_strips[4]; // left, right, up, down; three images side by side
    int m_mode = NoToggle;
    bool m_collapsed = false;
    bool m_toggleEnabled = true;
    int m_savedSize = 0;
    int m_savedMinimum = 0;
    bool m_hover = false;
    bool m_pressed = false;
    QTimer m_hoverTimer;
};
