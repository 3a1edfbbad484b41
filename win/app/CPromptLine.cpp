#include "CPromptLine.h"

#include "win/common/AppServices.h"

#include "win/app/AppText.h"

#include <QLabel>

QString CPromptLine::SizeText(int width, int height)
{
    return QStringLiteral("%1 X %2").arg(width).arg(height);
}

CPromptLine::CPromptLine(const AppServices &services, varnolet::MessageBox messages)
    : m_services(services)
    , m_messages(std::move(messages))
{
}

QString CPromptLine::Text(const char *key, const char *builtIn) const
{
    return LanguageText(m_services, key, builtIn, m_messages);
}

QString CPromptLine::NoCameraText(bool devicesListed) const
{
    if (!devicesListed)
        return Text("ui_alert_no_camera", "Error,No Camera\tis Detected");
    return Text(
        "ui_alert_not_preview_device",
        "Couldn't preview this device,because this device may been using by other applicaiton");
}

QString CPromptLine::HoverText(Button button, const State &s) const
{
    const QString capture = SizeText(s.captureWidth, s.captureHeight);
    switch (button) {
    case Button::TakePhoto:
        if (!s.cameraPresent)
            return NoCameraText(s.devicesListed);
        return FormatText(Text("ui_prompt_in_take_a_photo_btn", "以分辨率%s进行拍照"), {capture});
    case Button::TimedShot:
        if (!s.cameraPresent)
            return NoCameraText(s.devicesListed);
        if (s.timedSeries)
            return Text("ui_prompt_in_stop_timed_shot_btn", "停止定时摄像");
        return FormatText(Text("ui_prompt_in_start_timed_shot_btn", "以分辨率%s进行定时摄像"),
                          {capture});
    case Button::Recording:
        if (!s.cameraPresent)
            return NoCameraText(s.devicesListed);
        if (s.recording)
            return Text("ui_prompt_in_stop_recording_btn", "停止录像");
        return FormatText(Text("ui_prompt_in_start_recording_btn", "以分辨率%s进行录像"),
                          {SizeText(s.movieWidth, s.movieHeight)});
    case Button::Settings:
        return Text("ui_prompt_in_setting_btn", "打开系统设置");
    case Button::About:
        return Text("ui_prompt_in_about_btn", "打开关于");
    case Button::Exit:
        return Text("ui_prompt_in_exit_btn", "退出系统");
    case Button::None:
        break;
    }
    return QString();
}

QString CPromptLine::StatusText(const State &s)
{
    const QString capture = SizeText(s.captureWidth, s.captureHeight);
    if (s.photoPending)
        return FormatText(Text("ui_prompt_doing_taking_a_shot", "正在以分辨率%s进行拍照"),
                          {capture});
    if (s.timedSeries) {
        const int64_t elapsed = s.nowMs - s.seriesStartMs;
        int64_t remaining = s.seriesTotalMinutes - static_cast<int64_t>(elapsed / 60000.0);
        // A wall clock set back during the series would give more than the total.
        if (remaining > s.seriesTotalMinutes)
            remaining = s.seriesTotalMinutes;
        if (remaining < 0)
            remaining = 0;
        return FormatText(
            Text("ui_prompt_doing_timed_shot",
                 "正在以分辨率%s进行定时摄像，定时时间  %d 分钟，剩余时间 %d 分钟"),
            {capture, QString::number(s.seriesTotalMinutes), QString::number(remaining)});
    }
    if (s.recording) {
        QString text = FormatText(Text("ui_prompt_doing_recording", "正在以分辨率%s进行录像"),
                                  {SizeText(s.movieWidth, s.movieHeight)});
        text += QString(m_dots, QChar(0x25CF));
        m_dots = static_cast<uint8_t>((m_dots + 1) % 4);
        return text;
    }
    m_dots = 0;
    if (!m_notice.isEmpty() && s.nowMs < m_noticeUntilMs)
        return m_notice;
    if (s.cameraPresent)
        return FormatText(Text("ui_prompt_doing_preview", "系统正在以分辨率%s进行预览"), {capture});
    return NoCameraText(s.devicesListed);
}

void CPromptLine::Announce(const QString &text, int64_t untilMs)
{
    m_notice = text;
    m_noticeUntilMs = untilMs;
}

QString CPromptLine::RepairedMoviesText(const QStringList &fileNames) const
{
    if (fileNames.isEmpty())
        return QString();
    if (fileNames.size() == 1)
        return FormatText(Text("ui_prompt_repaired_movie", "未完成的录像 %s 已修复，可以播放"),
                          {fileNames.front()});
    return FormatText(Text("ui_prompt_repaired_movies", "%d 个未完成的录像已修复，可以播放"),
                      {QString::number(fileNames.size())});
}

QString CPromptLine::Update(Button hit, bool fromMouseMove, const State &state)
{
    if (hit != Button::None)
        return HoverText(hit, state);
    if (fromMouseMove)
        return QString();
    return StatusText(state);
}

bool CPromptLine::Show(QLabel *label, const QString &text)
{
    if (!label || text.isNull() || label->text() == text)
        return false;
    label->setText(text);
    return true;
}
