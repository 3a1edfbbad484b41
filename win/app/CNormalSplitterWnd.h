#pragma once

#include <QSplitter>

// An ordinary splitter inside a dialog: the active pane is the one that holds the
// keyboard focus, and making a pane active gives it the focus.
class CNormalSplitterWnd final : public QSplitter
{
public:
    explicit CNormalSplitterWnd(Qt::Orientation orientation, QWidget *parent = nullptr);

    // Index of the pane that holds the focus, -1 when none does.
    int ActivePane() const;
    void SetActivePane(int index);
};
