#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Fills the placeholders of a looked-up text without printf, so a translation with an
// unexpected placeholder can never read a missing argument: each "%s", "%d" or "%i" takes
// the next argument as text (none left: nothing), "%%" gives "%", anything else after a
// "%" stays as it is.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);
