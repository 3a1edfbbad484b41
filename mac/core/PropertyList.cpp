#include "PropertyList.h"

#include "platform/system/AtomicFile.h"
#include "platform/system/NumberText.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

PropertyList::~PropertyList()
{
    if (m_node)
        plist_free(m_node);
}

PropertyList::PropertyList(PropertyList &&other) noexcept
    : m_node(other.m_node)
{
    other.m_node = nullptr;
}

PropertyList &PropertyList::operator=(PropertyList &&other) noexcept
{
    if (this != &other) {
        if (m_node)
            plist_free(m_node);
        m_node = other.m_node;
        other.m_node = nullptr;
    }
    return *this;
}

PropertyList PropertyList::newDictionary()
{
    return PropertyList(plist_new_dict());
}

PropertyList PropertyList::readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return {};
    return fromMemory(bytes);
}

PropertyList PropertyList::fromMemory(const std::string &bytes)
{
    if (bytes.empty() || bytes.size() > UINT32_MAX)
        return {};
    plist_t node = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
    return PropertyList(node);
}

bool PropertyList::isDictionary() const
{
    return m_node && plist_get_node_type(m_node) == PLIST_DICT;
}

plist_t PropertyList::item(const std::string &key) const
{
    if (!isDictionary())
        return nullptr;
    return plist_dict_get_item(m_node, key.c_str());
}

void PropertyList::setString(const std::string &key, const std::string &value)
{
    if (isDictionary())
        plist_dict_set_item(m_node, key.c_str(), plist_new_string(value.c_str()));
}

void PropertyList::setInteger(const std::string &key, int64_t value)
{
    // libplist keeps integers as 64-bit patterns and writes negative ones with their sign.
    if (isDictionary())
        plist_dict_set_item(m_node, key.c_str(), plist_new_uint(static_cast<uint64_t>(value)));
}

void PropertyList::setBool(const std::string &key, bool value)
{
    if (isDictionary())
        plist_dict_set_item(m_node, key.c_str(), plist_new_bool(value ? 1 : 0));
}

std::string PropertyList::toXml() const
{
    if (!m_node)
        return {};
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(m_node, &xml, &length);
    std::string text = xml ? std::string(xml, length) : std::string();
    if (xml)
        plist_to_xml_free(xml);
    return text;
}

bool PropertyList::writeAtomically(const std::string &path) const
{
    const std::string xml = toXml();
    if (xml.empty()) {
        errno = EINVAL;
        return false;
    }
    std::error_code error;
    const std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), error);

    const int failure = varnolet::AtomicFile::replace(path, xml);
    if (failure != 0)
        errno = failure;
    return failure == 0;
}

std::optional<std::string> PropertyList::stringValue(plist_t node)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    // By pointer and length: libplist's copying getter aborts on a string holding a NUL
    // character, which a damaged or hostile file can contain.
    uint64_t length = 0;
    const char *value = plist_get_string_ptr(node, &length);
    return value ? std::string(value, static_cast<size_t>(length)) : std::string();
}

int32_t PropertyList::intValue(plist_t node)
{
    if (!node)
        return 0;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value ? 1 : 0;
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Like a C cast of a long long to int: the low 32 bits.
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        if (std::isnan(value))
            return 0;
        if (value >= static_cast<double>(INT32_MAX))
            return INT32_MAX;
        if (value <= static_cast<double>(INT32_MIN))
            return INT32_MIN;
        return static_cast<int32_t>(value);
    }
    case PLIST_STRING:
        return intValueOfText(stringValue(node).value_or(""));
    default:
        return 0;
    }
}

bool PropertyList::boolValue(plist_t node)
{
    if (!node)
        return false;
    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        return boolValueOfText(stringValue(node).value_or(""));
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value != 0.0;
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return value != 0;
    }
    default:
        return intValue(node) != 0;
    }
}

std::optional<int64_t> PropertyList::exactIntValue(plist_t node)
{
    if (!node)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // The 64-bit pattern libplist keeps, negative numbers included.
        return static_cast<int64_t>(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        if (!std::isfinite(value) || std::trunc(value) != value || std::fabs(value) > 1e15)
            return std::nullopt;
        return static_cast<int64_t>(value);
    }
    case PLIST_STRING: {
        const std::string text = stringValue(node).value_or("");
        const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
        if (text.size() == digits || text.size() > digits + 15)
            return std::nullopt;
        for (size_t i = digits; i < text.size(); ++i)
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
        const int64_t value = std::strtoll(text.c_str(), nullptr, 10);
        if (std::to_string(value) != text)
            return std::nullopt; // leading zeros, "-0"
        return value;
    }
    default:
        return std::nullopt;
    }
}

std::optional<bool> PropertyList::exactBoolValue(plist_t node)
{
    if (node && plist_get_node_type(node) == PLIST_BOOLEAN) {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0;
    }
    if (node && plist_get_node_type(node) == PLIST_UINT) {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        if (value <= 1)
            return value == 1;
    }
    return std::nullopt;
}

std::string PropertyList::describe(plist_t node)
{
    constexpr size_t kShown = 40;
    if (!node)
        return "nothing";
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
        return boolValue(node) ? "true" : "false";
    case PLIST_UINT:
        return std::to_string(*exactIntValue(node));
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return std::to_string(value);
    }
    case PLIST_STRING: {
        std::string text = stringValue(node).value_or("");
        if (text.size() > kShown)
            text = text.substr(0, kShown) + "...";
        return "\"" + text + "\"";
    }
    case PLIST_DICT:
        return "a dictionary";
    case PLIST_ARRAY:
        return "an array";
    case PLIST_DATE:
        return "a date";
    case PLIST_DATA:
        return "data";
    default:
        return "a value of another kind";
    }
}

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

int32_t PropertyList::intValueOfText(const std::string &text)
{
    return varnolet::NumberText::leadingInt32(text, " \t\n\r\f\v");
}

bool PropertyList::boolValueOfText(const std::string &text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i >= text.size())
        return false;
    const char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}
