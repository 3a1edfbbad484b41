#include "PhotoChecks.h"

#include <QColor>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

namespace varnolet::test {

bool haveExiftool()
{
    QProcess probe;
    probe.start(QStringLiteral("exiftool"), {QStringLiteral("-ver")});
    return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit &&
           probe.exitCode() == 0;
}

QJsonObject exiftoolTags(const std::string &path)
{
    QProcess process;
    process.start(QStringLiteral("exiftool"),
                  {QStringLiteral("-j"), QStringLiteral("-n"), QStringLiteral("-G1"),
                   QString::fromStdString(path)});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(process.readAllStandardOutput()).array().at(0).toObject();
}

int longestWhiteRun(const QImage &image, int y, int *runEnd)
{
    int best = 0;
    int run = 0;
    if (runEnd)
        *runEnd = -1;
    for (int x = 0; x < image.width(); ++x) {
        const QColor pixel = image.pixelColor(x, y);
        run = pixel.red() > 235 && pixel.green() > 235 && pixel.blue() > 235 ? run + 1 : 0;
        if (run > best) {
            best = run;
            if (runEnd)
                *runEnd = x;
        }
    }
    return best;
}

} // namespace varnolet::test
