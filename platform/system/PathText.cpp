#include "PathText.h"

#include <QFile>

namespace varnolet {

QString PathText::toField(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathText::fromField(const QString &text, const std::string &shownPath)
{
    if (text == toField(shownPath))
        return shownPath;
    return QFile::encodeName(text).toStdString();
}

} // namespace varnolet
