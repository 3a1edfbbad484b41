#include "UsbLocation.h"

#include <cstdio>
#include <vector>

namespace varnolet {

namespace {

// Parses a decimal number made only of digits; none when empty or too large.
std::optional<unsigned> parseNumber(const std::string &text)
{
    if (text.empty() || text.size() > 6)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

} // namespace

std::optional<uint32_t> UsbLocation::fromDeviceName(const std::string &name)
{
    const auto dash = name.find('-');
    if (dash == std::string::npos)
        return std::nullopt;
    const auto bus = parseNumber(name.substr(0, dash));
    if (!bus || *bus > 255)
        return std::nullopt;

    std::vector<unsigned> ports;
    std::string rest = name.substr(dash + 1);
    size_t start = 0;
    while (true) {
        const auto dot = rest.find('.', start);
        const auto port = parseNumber(
            rest.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (!port)
            return std::nullopt; // also rejects interface names such as "1-2:1.0"
        ports.push_back(*port);
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }

    uint32_t location = static_cast<uint32_t>(*bus) << 24;
    int shift = 20;
    for (unsigned port : ports) {
        if (shift < 0)
            break; // deeper than six tiers: the nibbles are used up
        location |= static_cast<uint32_t>(port & 0xF) << shift;
        shift -= 4;
    }
    return location;
}

std::string UsbLocation::usbDevicePath(const std::string &path)
{
    // Walk the components and remember the end of the last one that is a USB device name.
    size_t best = std::string::npos;
    size_t start = 0;
    while (start <= path.size()) {
        auto slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start && fromDeviceName(path.substr(start, slash - start)))
            best = slash;
        start = slash + 1;
    }
    return best == std::string::npos ? std::string() : path.substr(0, best);
}

std::optional<uint32_t> UsbLocation::fromSysfsPath(const std::string &path)
{
    const std::string device = usbDevicePath(path);
    if (device.empty())
        return std::nullopt;
    const auto slash = device.rfind('/');
    return fromDeviceName(slash == std::string::npos ? device : device.substr(slash + 1));
}

std::string UsbLocation::hexText(uint32_t location)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", location);
    return text;
}

std::string UsbLocation::uniqueIdentifier(uint32_t location, uint16_t vendorId, uint16_t productId)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%08x%04x%04x", location, vendorId, productId);
    return text;
}

} // namespace varnolet
