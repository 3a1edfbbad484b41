#include "mac/ui/NSTextFieldClickable.h"

#include <QMouseEvent>

NSTextFieldClickable::NSTextFieldClickable(QWidget *parent)
    : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setTextInteractionFlags(Qt::NoTextInteraction);
}

void NSTextFieldClickable::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        emit clicked();
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}
