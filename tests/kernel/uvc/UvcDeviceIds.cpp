#include "UvcDeviceIds.h"

#include <cstdio>

namespace varnolet::test {

namespace {

std::optional<uint16_t> hex4(const std::string &text, size_t at)
{
    if (at + 4 > text.size())
        return std::nullopt;
    unsigned value = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * 16 + digit;
    }
    return static_cast<uint16_t>(value);
}

std::optional<UvcDeviceIds> pair(const std::string &text, char separator)
{
    if (text.size() < 9 || text[4] != separator)
        return std::nullopt;
    const auto vendor = hex4(text, 0);
    const auto product = hex4(text, 5);
    if (!vendor || !product)
        return std::nullopt;
    return UvcDeviceIds{*vendor, *product};
}

} // namespace

std::optional<UvcDeviceIds> UvcDeviceIds::parse(const std::string &text)
{
    if (text.size() != 9)
        return std::nullopt;
    return pair(text, ':');
}

std::optional<UvcDeviceIds> UvcDeviceIds::fromFileName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string extension = ".bin";
    if (name.size() <= extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return std::nullopt;
    name.resize(name.size() - extension.size());
    // "VVVV-PPPP" alone or followed by "-anything".
    if (name.size() != 9 && (name.size() < 11 || name[9] != '-'))
        return std::nullopt;
    return pair(name, '-');
}

std::string UvcDeviceIds::text() const
{
    char buffer[10];
    std::snprintf(buffer, sizeof buffer, "%04x:%04x", vendorId, productId);
    return buffer;
}

} // namespace varnolet::test
