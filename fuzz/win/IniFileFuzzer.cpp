// Loads any bytes as an INI file, judges whether start-up would call them damaged, reads
// the settings keys, writes one value and checks that the write changed only what it should.
#include "win/common/ConfigFileRepair.h"
#include "win/common/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const IniFile ini = IniFile::fromBytes(bytes);
    // The damage check of start-up reads the same bytes; a file it calls sound parses.
    if (ConfigDamage(bytes).empty())
        check(ini.hasSection("defaultsetting") || ini.hasSection("usingsetting"));
    for (const char *section : {"oem", "usingsetting", "timedshotssetting", "defaultsetting"}) {
        for (const char *key : {"resourcespath", "language", "shots_unittype", "version"}) {
            if (const auto value = ini.value(section, key)) {
                check(value->size() <= IniFile::kMaxValueCharacters * 4);
                // A path keeps its bytes; one that is plain ASCII reads as the text does.
                const std::string path = ini.getPath(section, key, "");
                check(path.size() <= IniFile::kMaxValueCharacters * 4);
                bool ascii = true;
                for (char c : path)
                    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
                check(!ascii || path == *value);
            }
            (void)ini.getInt(section, key, -1);
        }
    }

    // Re-reading the written bytes must give the same lines, except the one written.
    const std::string before = ini.getString("oem", "version", "");
    IniFile written = ini;
    written.setString("usingsetting", "resourcespath", "/home/user/Pictures");
    const IniFile reread = IniFile::fromBytes(written.toBytes());
    check(reread.getString("usingsetting", "resourcespath", "") == "/home/user/Pictures");
    check(reread.getString("oem", "version", "") == before ||
          ini.getString("oem", "version", "").empty());
    const size_t oldLines = ini.lines().size();
    check(reread.lines().size() >= oldLines && reread.lines().size() <= oldLines + 2);
    // An unchanged file survives its own round trip line by line.
    if (ini.encoding() == IniFile::Encoding::Utf8 || ini.encoding() == IniFile::Encoding::Utf8Bom)
        check(IniFile::fromBytes(ini.toBytes()).lines() == ini.lines());
    return 0;
}
