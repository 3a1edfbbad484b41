#pragma once

#include <QString>
#include <QStringList>

class AppServices;

namespace varnolet {
class MessageBox;
class SystemPaths;
} // namespace varnolet

// The user-visible texts of the windows: the looked-up text of a key in the configured
// language of services, or the built-in text when the table has none. A language file that
// cannot be loaded is told in messages.
QString LanguageText(const AppServices &services, const char *key, const char *fallback,
                     const varnolet::MessageBox &messages);

// Fills the "%s" and "%d" placeholders of a looked-up text, in order, with the arguments;
// "%%" gives one "%". Placeholders without an argument stay as they are, so a translated
// text with a missing or extra placeholder never reads past the arguments.
QString FormatText(const QString &format, const QStringList &arguments);

// Full path of a file shipped in the program folder of paths ("Resource/Image/Exit.png"),
// found without regard to case when the exact name does not exist.
QString ShippedFilePath(const varnolet::SystemPaths &paths, const QString &relative);
