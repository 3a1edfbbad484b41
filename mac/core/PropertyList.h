#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <plist/plist.h>

// An owned libplist node (XML or binary property lists), with the conversions the Mac
// program applies to the values it reads: numbers, booleans and numeric strings all give a
// number, the way Foundation's intValue/boolValue do.
class PropertyList
{
public:
    PropertyList() = default;
    explicit PropertyList(plist_t node)
        : m_node(node)
    {
    }
    ~PropertyList();
    PropertyList(PropertyList &&other) noexcept;
    PropertyList &operator=(PropertyList &&other) noexcept;
    PropertyList(const PropertyList &) = delete;
    PropertyList &operator=(const PropertyList &) = delete;

    static PropertyList newDictionary();
    // The file's property list, or an empty object when the file cannot be read or parsed.
    static PropertyList readFile(const std::string &path);
    static PropertyList fromMemory(const std::string &bytes);

    bool isNull() const { return m_node == nullptr; }
    bool isDictionary() const;
    plist_t node() const { return m_node; }

    // Borrowed value of a dictionary key; null when absent or when this is no dictionary.
    plist_t item(const std::string &key) const;
    bool hasKey(const std::string &key) const { return item(key) != nullptr; }

    // Setters for dictionaries; they replace any earlier value.
    void setString(const std::string &key, const std::string &value);
    void setInteger(const std::string &key, int64_t value);
    void setBool(const std::string &key, bool value);

    std::string toXml() const;
    // Writes the XML form through a temporary file in the same folder and a rename, creating
    // missing parent folders. False when any step fails (the old file then stays).
    bool writeAtomically(const std::string &path) const;

    // Conversions of a value node (null gives 0 / false / none).
    static std::optional<std::string> stringValue(plist_t node);
    static int32_t intValue(plist_t node);
    static bool boolValue(plist_t node);
    // A whole number stored as such: an integer, a real without fraction, or a string that is
    // exactly its decimal rendering ("32", "-1"); none for anything else.
    static std::optional<int64_t> exactIntValue(plist_t node);
    // A boolean, or the integer 0 or 1; none for anything else.
    static std::optional<bool> exactBoolValue(plist_t node);
    // A short account of a value for the log: the number, the quoted text (cut), the type.
    static std::string describe(plist_t node);
    // Foundation's -[NSString intValue]: leading blanks, sign, digits; saturates.
    static int32_t intValueOfText(const std::string &text);
    // Foundation's -[NSString boolValue]: "Y", "y", "T", "t" or a digit 1-9 after blanks,
    // an optional sign and zeros.
    static bool boolValueOfText(const std::string &text);

private:
    plist_t m_node = nullptr;
};
