#pragma once

#include <string>

namespace varnolet {

// Qt's own texts (file dialogs, the standard buttons of message boxes, "no application"
// messages) in the program's language: the catalogues Qt ships (Debian's
// qt6-translations-l10n) installed into the running application. Calling use() again with
// another language swaps them, so a language change in the settings reaches Qt's texts too.
// UI thread only, with an application object.
class QtTranslations
{
public:
    // Installs Qt's catalogue for a locale name ("de", "ja", "zh_TW"), replacing the one
    // installed before; English, an empty name or a missing catalogue leaves Qt's built-in
    // English. Answers whether a catalogue is now installed. folder: where the catalogues
    // are looked for; empty: Qt's translations folder.
    static bool use(const std::string &localeName, const std::string &folder = {});
    // The locale whose catalogue is installed, empty for none.
    static std::string installedLocale();
};

} // namespace varnolet
