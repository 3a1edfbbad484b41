#include "mac/app/LanguageRetitler.h"

#include <QAbstractButton>

#include "mac/app/AboutBox.h"
#include "mac/app/AppControllerSettings.h"
#include "mac/app/PanelText.h"
#include "mac/app/SettingsPanel.h"
#include "mac/app/SettingsPanelHost.h"
#include "mac/uvc/CameraControl.h"

LanguageRetitler::LanguageRetitler(SettingsPanelHost &host, RetitledControls controls)
    : m_host(host)
    , m_controls(std::move(controls))
{
}

std::string LanguageRetitler::text(const char *key, const char *fallback) const
{
    return m_host.settings().myNSLocationString(key, fallback);
}

void LanguageRetitler::changedUIBySelectedLanuage(int lanuageIndex)
{
    RetitledControls &c = m_controls;

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
