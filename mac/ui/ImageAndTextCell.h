#pragma once

#include <functional>

#include <QIcon>
#include <QStyledItemDelegate>

// The name cell of the resource tree: the node's icon at the left edge, vertically centred
// in a slot 3 pixels wider than the icon, and the title in the small system font in the
// rest. The icon is asked of the tree each time the cell is drawn.
class ImageAndTextCell final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using IconSource = std::function<QIcon(const QModelIndex &)>;
    static constexpr int kIconSide = 16;
    static constexpr int kIconGap = 3;

    explicit ImageAndTextCell(IconSource iconSource, QObject *parent = nullptr);

    // The small system font the titles are drawn in.
    static QFont smallSystemFont();

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    IconSource m_iconSource;
};
