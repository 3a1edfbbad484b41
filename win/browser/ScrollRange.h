#pragma once

// The vertical scroll range of the thumbnail column, kept as a Windows scroll bar keeps
// it: minimum 0, maximum = names × 110, page = picture-area height. Like a proportional
// scroll bar, the position never passes maximum − page + 1, so "scrolled to the end"
// shows the last picture at the bottom instead of an empty pane.
class ScrollRange
{
public:
    static constexpr int kLineStep = 110;

    // Range and page for `count` names, position 0.
    void Reset(int count, int page);
    // New maximum for `count` names; the position keeps its distance from the end.
    void Update(int count);
    // Maximum and position at the end of `count` names.
    void ToEnd(int count);
    void SetPage(int page);

    // Scroll requests; each answers true when the position changed.
    bool LineUp() { return MoveTo(m_position - kLineStep); }
    bool LineDown() { return MoveTo(m_position + kLineStep); }
    bool PageUp() { return MoveTo(m_position - m_page); }
    bool PageDown() { return MoveTo(m_position + m_page); }
    bool MoveTo(long long position);
    // One step per wheel message: a negative delta scrolls down, a positive one up; a zero
    // delta is not handled (answers false and changes nothing).
    bool Wheel(int delta, bool *handled);

    int Maximum() const { return m_maximum; }
    int Page() const { return m_page; }
    int Position() const { return m_position; }
    // The highest position the bar lets the view reach.
    int MaximumPosition() const;
    // The bar is shown when the picture area is lower than the maximum.
    bool BarVisible() const { return m_page < m_maximum; }

private:
    static int MaximumFor(int count);
    int Clamp(long long position) const;

    int m_maximum = 0;
    int m_page = 0;
    int m_position = 0;
};
