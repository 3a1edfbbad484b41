// Converts a rendered picture to the formats rsvg-convert does not write: a 24-bit
// uncompressed BMP or a JPEG. Transparent parts are laid over white, since neither
// format keeps an alpha channel.
//   ArtConvert input.png output.bmp|output.jpg
#include <cstdio>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s input.png output.bmp|output.jpg\n", argv[0]);
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QImage source(input);
    if (source.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QImage flat(source.size(), QImage::Format_RGB888);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, source);
    }
    const bool jpeg = output.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive);
    if (!flat.save(output, jpeg ? "JPG" : "BMP", jpeg ? 95 : -1)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
