#pragma once

#include <string>
#include <string_view>

// A per-user config.ini that cannot be what the program or a person wrote: cut off by a
// crash or a full disk, or overwritten with other bytes. Damage is judged conservatively,
// so that a file edited by hand (keys or a section missing, odd comments, another
// encoding) is still read as it stands. A file is damaged when
// - it is empty, or holds nothing but blanks and zero bytes;
// - it holds control characters other than blanks and line ends (binary data, the zero
//   blocks a power loss leaves);
// - it has neither a [defaultsetting] nor a [usingsetting] section (cut off before them,
//   or not an INI file at all);
// - its last line is cut: no line end, and neither a comment, a section header nor a
//   key with its "=".
// Answers why, or an empty text for a sound file.
std::string ConfigDamage(std::string_view bytes);

// When the per-user file is damaged and the template is sound: keeps the damaged file
// beside it as "config.ini.bad" (or "config.ini.bad.2", ... when that name is taken,
// never replacing one), then replaces it with the template whose [usingsetting] holds the
// template's [defaultsetting] values. Answers the name the damaged file was kept as, or an
// empty text when nothing was changed (sound, unreadable, template damaged, a write
// failed: the file is then read as it stands).
std::string RebuildDamagedConfig(const std::string &userPath, const std::string &templatePath);
