#include "mac/ui/LanguageRetitler.h"

#include <QAbstractButton>

#include "mac/ui/AboutBox.h"
#include "mac/core/AppControllerSettings.h"
#include "mac/ui/PanelText.h"
#include "mac/core/PreferredLanguage.h"
#include "mac/ui/SettingsPanel.h"
#include "mac/ui/SettingsPanelHost.h"
#include "mac/core/CameraControl.h"
#include "platform/system/QtTranslations.h"

LanguageRetitler::LanguageRetitler(SettingsPanelHost &host, RetitledControls controls)
    : m_host(host)
    , m_controls(std::move(controls))
{
}

std::string LanguageRetitler::text(const char *key, const char *fallback) const
{
    return m_host.settings().myNSLocationString(key, fallback);
}

namespace {

// Qt's catalogue name for a language of the list, the user's preferred one for -1.
std::string qtLocaleOf(int lanuageIndex)
{
    static const char *const kLocales[] = {"en", "fr", "es", "de", "it", "ja", "zh_TW", "zh_CN"};
    if (lanuageIndex >= 0 && lanuageIndex < 8)
        return kLocales[lanuageIndex];
    const std::string preferred = PreferredLanguage::firstPreferredLanguage();
    if (preferred == "zh-Hant")
        return "zh_TW";
    if (preferred == "zh-Hans")
        return "zh_CN";
    return preferred;
}

} // namespace

void LanguageRetitler::changedUIBySelectedLanuage(int lanuageIndex)
{
    RetitledControls &c = m_controls;

    // Qt's own texts (file dialog, standard buttons) follow the language in force.
    varnolet::QtTranslations::use(qtLocaleOf(lanuageIndex));

    if (c.settingsPanel)
        c.settingsPanel->refillLanguageList();
    else
        m_host.settings().refillLanguageArray();

    if (c.retitleMainWindow)
        c.retitleMainWindow();
    if (c.mMoreResourcesBtn)
        c.mMoreResourcesBtn->setText(PanelText::q(text("ui_view_btn_more_resources", "More...")));

    if (c.settingsPanel) {
        c.settingsPanel->retitleTexts();
        c.settingsPanel->retitleTitle();
    }
    if (c.aboutBox)
        c.aboutBox->retitle(text("ui_alert_ok", "Ok"), text("ui_dlg_about", "关于"));

    if (CameraControl *control = m_host.cameraControl())
        control->changedLanuage(m_host.settings(), lanuageIndex);
}
