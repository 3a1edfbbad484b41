#pragma once

#include <string>

#include <QString>

namespace varnolet {

// A path as the file system holds it (bytes, not necessarily UTF-8) and as a text field
// shows it. Bytes that are no UTF-8 cannot survive the trip through a QString, so the text
// a field gives back stands for the path it was filled with as long as it is unchanged.
class PathText
{
public:
    // The field's text for a path.
    static QString toField(const std::string &path);
    // The path a field's text stands for: shownPath when the text is still what
    // toField(shownPath) gave, else the text's own bytes.
    static std::string fromField(const QString &text, const std::string &shownPath);
};

} // namespace varnolet
