#include "ShellOpener.h"

#include <mutex>

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace {
std::mutex g_lock; // guards g_handler
ShellOpener::Handler g_handler;
} // namespace

bool ShellOpener::Run(const std::string &path, Verb verb)
{
    Handler handler;
    {
        std::lock_guard guard(g_lock);
        handler = g_handler;
    }
    if (handler)
        return handler(path, verb);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

ShellOpener::Handler ShellOpener::SetHandler(Handler handler)
{
    std::lock_guard guard(g_lock);
    Handler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}
