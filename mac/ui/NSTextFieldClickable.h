#pragma once

#include <QLabel>

// A text field that reports a press of the mouse on it (the about box's web address).
class NSTextFieldClickable final : public QLabel
{
    Q_OBJECT

public:
    explicit NSTextFieldClickable(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
