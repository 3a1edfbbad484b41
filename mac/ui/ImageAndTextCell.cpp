#include "ImageAndTextCell.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

ImageAndTextCell::ImageAndTextCell(IconSource iconSource, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_iconSource(std::move(iconSource))
{
}

QFont ImageAndTextCell::smallSystemFont()
{
    QFont font = QApplication::font();
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(std::max<qreal>(7.0, points - 1.0));
    return font;
}

void ImageAndTextCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    const QString title = base.text;
    base.text.clear();
    base.icon = QIcon();
    base.features &= ~QStyleOptionViewItem::HasDecoration;
    // Background and selection as the style draws them, without text or icon.
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &base, painter, widget);

    const QRect cell = option.rect;
    const QIcon icon = m_iconSource ? m_iconSource(index) : QIcon();
    const int slot = kIconSide + kIconGap;
    if (!icon.isNull()) {
        const QRect iconRect(cell.left(), cell.top() + (cell.height() - kIconSide) / 2, kIconSide,
                             kIconSide);
        icon.paint(painter, iconRect, Qt::AlignCenter,
                   (option.state & QStyle::State_Selected) ? QIcon::Selected : QIcon::Normal);
    }
    painter->save();
    painter->setFont(smallSystemFont());
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(QPalette::Normal,
                                         selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect textRect = cell.adjusted(slot, 0, 0, 0);
    const QString shown =
        QFontMetrics(painter->font()).elidedText(title, Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, shown);
    painter->restore();
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QString title = index.data(Qt::DisplayRole).toString();
    const QFontMetrics metrics(smallSystemFont());
    const int width = metrics.horizontalAdvance(title) + kIconSide + kIconGap;
    const int height = std::max(kIconSide, metrics.height()) + 4;
    Q_UNUSED(option);
    return QSize(width, height);
}
