#include "ShellOpener.h"

#include <utility>

#include <QDesktopServices>
#include <QString>
#include <QUrl>

bool ShellOpener::Run(const std::string &path, Verb /*verb*/)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

ShellOpener::Handler ShellOpener::OrDesktop(Handler handler)
{
    return handler ? std::move(handler) : Handler(&ShellOpener::Run);
}
