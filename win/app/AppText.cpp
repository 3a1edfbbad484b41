#include "AppText.h"

#include "win/common/AppServices.h"
#include "win/common/ShippedFile.h"

QString LanguageText(const AppServices &services, const char *key, const char *fallback,
                     const varnolet::MessageBox &messages)
{
    return QString::fromStdString(services.GetLanguageString(key, fallback, messages));
}

QString FormatText(const QString &format, const QStringList &arguments)
{
    QString result;
    result.reserve(format.size() + 16);
    int next = 0;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('%') && i + 1 < format.size()) {
            const QChar kind = format.at(i + 1);
            if (kind == QLatin1Char('%')) {
                result += QLatin1Char('%');
                ++i;
                continue;
            }
            if ((kind == QLatin1Char('s') || kind == QLatin1Char('d')) && next < arguments.size()) {
                result += arguments.at(next++);
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

QString ShippedFilePath(const varnolet::SystemPaths &paths, const QString &relative)
{
    const std::string folder = paths.programFolder();
    return QString::fromStdString(FindShippedFile(folder + relative.toStdString()));
}
