// The application controller's texts: tooltips, the prompt line's status and hover hints.
#include "AppController.h"

#include "platform/system/Clock.h"

// ---- texts ----

std::string AppController::toolTip(Control control) const
{
    switch (control) {
    case Control::TakePhoto:
        return myNSLocationString("ui_view_btn_take_a_shot", "Take a Photo");
    case Control::TimedShot:
        return m_takePhotoEachTime
                   ? myNSLocationString("ui_view_btn_stop_timed_shot", "Stop Timed Shot")
                   : myNSLocationString("ui_view_btn_take_timed_shot", "Start Timed Shot");
    case Control::Recording:
        return m_videoRecording
                   ? myNSLocationString("ui_view_btn_stop_recording", "Stop Recording")
                   : myNSLocationString("ui_view_btn_take_recording", "Start Recording");
    case Control::About:
        return myNSLocationString("ui_view_btn_about", "About");
    case Control::Settings:
        return myNSLocationString("ui_view_btn_settings", "Settings");
    case Control::Exit:
        return exitToolTip();
    case Control::ResolutionList:
        break;
    }
    return {};
}

std::string AppController::exitToolTip() const
{
    return myNSLocationString("ui_view_btn_exit_system", "Exit");
}

std::string AppController::fullScreenToolTip() const
{
    return myNSLocationString("ui_view_btn_full_screen", "Full Screen");
}

std::string AppController::promptLabel() const
{
    return myNSLocationString("ui_view_lab_prompt", "Prompt:");
}

std::string AppController::formatText(const std::string &format, const std::string &text,
                                      std::initializer_list<int64_t> numbers)
{
    std::string result = format;
    const size_t at = result.find("%@");
    if (at != std::string::npos)
        result.replace(at, 2, text);
    size_t from = 0;
    for (int64_t number : numbers) {
        const size_t d = result.find("%d", from);
        if (d == std::string::npos)
            break;
        const std::string digits = std::to_string(number);
        result.replace(d, 2, digits);
        from = d + digits.size();
    }
    return result;
}

// ---- prompt line ----

void AppController::setPrompt(const std::string &text)
{
    if (text == m_promptText)
        return;
    m_promptText = text;
    emit promptChanged();
}

void AppController::setPromptWithCaptureResource(const std::string &format)
{
    setPrompt(formatText(format, mCurrentCaptureResolution().getPixelFormatString()));
}

void AppController::doTimerByMainViewer()
{
    if (m_takePhoto) {
        setPromptWithCaptureResource(
            myNSLocationString("ui_prompt_doing_taking_a_shot", "正在以分辨率%@进行拍照"));
    } else if (m_videoRecording) {
        setPromptWithCaptureResource(
            myNSLocationString("ui_prompt_doing_recording", "正在以分辨率%@进行录像"));
    } else if (m_takePhotoEachTime) {
        double started = 0.0;
        int64_t minutes = 0;
        {
            std::lock_guard lock(m_lock);
            started = m_pressTakingPhotosButtonTime;
            minutes = m_minutesOfTaking;
        }
        const auto elapsed = static_cast<int64_t>((nowMilliseconds() - started) / 60000.0);
        setPrompt(formatText(
            myNSLocationString("ui_prompt_doing_timed_shot",
                               "正在以分辨率%@进行定时摄像，定时时间 %d 分钟，剩余时间 %d 分钟"),
            mCurrentCaptureResolution().getPixelFormatString(), {minutes, minutes - elapsed}));
    } else if (m_promptNoticeTicks > 0) {
        --m_promptNoticeTicks;
        setPrompt(m_promptNotice);
    } else if (IsCaptureDevice()) {
        setPromptWithCaptureResource(
            myNSLocationString("ui_prompt_doing_preview", "系统正在以分辨率%@进行预览"));
    } else {
        setPrompt(messageForNotCaptureDevice());
    }
}

bool AppController::doMouseMovedOverControl(std::optional<Control> control)
{
    if (!control || *control == Control::ResolutionList)
        return false;
    const bool camera = IsCaptureDevice();
    switch (*control) {
    case Control::Settings:
        setPrompt(myNSLocationString("ui_prompt_in_setting_btn", "打开系统设置"));
        break;
    case Control::TakePhoto:
        if (camera)
            setPromptWithCaptureResource(
                myNSLocationString("ui_prompt_in_take_a_photo_btn", "以分辨率%@进行拍照"));
        else
            setPrompt(messageForNotCaptureDevice());
        break;
    case Control::TimedShot:
        if (!camera)
            setPrompt(messageForNotCaptureDevice());
        else if (m_takePhotoEachTime)
            setPromptWithCaptureResource(
                myNSLocationString("ui_prompt_in_stop_timed_shot_btn", "停止定时摄像"));
        else
            setPromptWithCaptureResource(
                myNSLocationString("ui_prompt_in_start_timed_shot_btn", "以分辨率%@进行定时摄像"));
        break;
    case Control::Recording:
        if (!camera)
            setPrompt(messageForNotCaptureDevice());
        else if (m_videoRecording)
            setPrompt(myNSLocationString("ui_prompt_in_stop_recording_btn", "停止录像"));
        else
            setPromptWithCaptureResource(
                myNSLocationString("ui_prompt_in_start_recording_btn", "以分辨率%@进行录像"));
        break;
    case Control::About:
        setPrompt(myNSLocationString("ui_prompt_in_about_btn", "打开关于"));
        break;
    case Control::Exit:
        setPrompt(myNSLocationString("ui_prompt_in_exit_btn", "退出系统"));
        break;
    case Control::ResolutionList:
        break;
    }
    return true;
}
