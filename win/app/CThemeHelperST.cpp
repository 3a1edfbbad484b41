#include "CThemeHelperST.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

CThemeHelperST::CThemeHelperST()
    : m_themed(QApplication::style() && QApplication::style()->name().compare(
                                            QLatin1String("windows"), Qt::CaseInsensitive) != 0)
{
}

void CThemeHelperST::DrawThemeParentBackground(QWidget *widget, QPainter &painter,
                                               const QRect &rect) const
{
    const QWidget *source = widget->parentWidget() ? widget->parentWidget() : widget;
    painter.fillRect(rect, source->palette().color(source->backgroundRole()));
}

void CThemeHelperST::DrawThemeBackground(QWidget *widget, QPainter &painter,
                                         const QStyleOptionButton &option) const
{
    widget->style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, widget);
}
