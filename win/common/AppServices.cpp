#include "AppServices.h"

#include "TextFormat.h"

#include "platform/system/SystemError.h"

#include <utility>

AppServices::AppServices(varnolet::SystemPaths paths)
    : m_settings(std::move(paths))
    , m_languages(m_settings)
{
}

std::string AppServices::GetLanguageString(const std::string &key, const std::string &fallback,
                                           const varnolet::MessageBox &messages) const
{
    return m_languages.GetLanguageString(key, fallback, messages);
}

std::string AppServices::SettingsWriteFailureText(int error,
                                                  const varnolet::MessageBox &messages) const
{
    return FormatText(GetLanguageString("ui_alert_savefile", "Save file %s failure", messages),
                      {m_settings.ConfigPath()}) +
           varnolet::SystemError::text(error);
}
