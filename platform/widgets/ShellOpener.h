#pragma once

#include <functional>
#include <string>

// Opens a file with the program the desktop associates with it ("open"), or a folder in the
// file manager ("explore"), through xdg-open. The windows that open things are given a
// handler when they are made (tests pass a recorder so nothing is launched); without one
// they use the desktop.
class ShellOpener
{
public:
    enum class Verb { Open, Explore };
    using Handler = std::function<bool(const std::string &path, Verb verb)>;

    // The desktop's opener: true when the desktop accepted the request.
    static bool Run(const std::string &path, Verb verb);
    // handler, or the desktop's opener when it is empty.
    static Handler OrDesktop(Handler handler);
};
