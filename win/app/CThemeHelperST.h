#pragma once

class QPainter;
class QRect;
class QStyleOptionButton;
class QWidget;

// Draws control backgrounds the way the desktop's theme does. The Qt style takes the place
// of the theme library: a themed style is in use unless the application runs the plain
// "Windows" style, which draws classic flat controls.
class CThemeHelperST final
{
public:
    CThemeHelperST();

    // Whether controls are drawn by the theme (looked up once at construction).
    bool IsAppThemed() const { return m_themed; }

    // Fills rect of widget with what its parent shows behind it.
    void DrawThemeParentBackground(QWidget *widget, QPainter &painter, const QRect &rect) const;
    // Draws a push button's themed background (bevel, hover and pressed looks).
    void DrawThemeBackground(QWidget *widget, QPainter &painter,
                             const QStyleOptionButton &option) const;

private:
    bool m_themed;
};
