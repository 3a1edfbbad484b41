#pragma once

#include <functional>
#include <string>

// Opens a file with the program the desktop associates with it ("open"), or a folder in the
// file manager ("explore"), through xdg-open. Tests put a handler in its place so nothing is
// launched.
class ShellOpener
{
public:
    enum class Verb { Open, Explore };
    using Handler = std::function<bool(const std::string &path, Verb verb)>;

    // True when the desktop accepted the request.
    static bool Run(const std::string &path, Verb verb);
    // Installs a handler (empty: the desktop again) and answers the previous one.
    static Handler SetHandler(Handler handler);
};
