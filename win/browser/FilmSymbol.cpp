#include "FilmSymbol.h"

#include "platform/system/SystemPaths.h"
#include "win/common/ShippedFile.h"

#include <QPainter>
#include <QPainterPath>

QImage FilmSymbol::Shipped(const varnolet::SystemPaths &paths)
{
    return Load(FindShippedFile(paths.programFolder() + kFileName));
}

QImage FilmSymbol::Load(const std::string &path)
{
    QImage image(QString::fromStdString(path));
    if (image.isNull())
        return Drawn();
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(kSize, kSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage FilmSymbol::Drawn()
{
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // A strip of film: dark frame, sprocket holes along both edges, a light picture window
    // with a play triangle.
    QPainterPath strip;
    strip.addRoundedRect(QRectF(2, 4, 28, 24), 3, 3);
    painter.fillPath(strip, QColor(40, 44, 52, 230));
    painter.setBrush(QColor(235, 235, 235));
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        painter.drawRect(QRectF(4.5 + i * 5.2, 6, 3, 2.5));
        painter.drawRect(QRectF(4.5 + i * 5.2, 23.5, 3, 2.5));
    }
    painter.setBrush(QColor(120, 190, 250));
    painter.drawRect(QRectF(5, 10.5, 22, 11));
    QPainterPath play;
    play.moveTo(13.5, 12.5);
    play.lineTo(20.5, 16);
    play.lineTo(13.5, 19.5);
    play.closeSubpath();
    painter.fillPath(play, QColor(255, 255, 255));
    painter.end();
    return image;
}
