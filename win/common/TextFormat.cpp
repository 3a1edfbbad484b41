#include "TextFormat.h"

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args)
{
    std::string out;
    out.reserve(format.size());
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        const char conversion = format[i + 1];
        if (conversion == '%') {
            out.push_back('%');
            ++i;
        } else if (conversion == 's' || conversion == 'd' || conversion == 'i') {
            if (next != args.end())
                out.append(*next++);
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}
