#pragma once

#include <string>

#include <QString>

// The panels' texts are UTF-8 strings of the string lookup.
class PanelText
{
public:
    static QString q(const std::string &utf8) { return QString::fromStdString(utf8); }
};
