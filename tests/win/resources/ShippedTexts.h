#pragma once

#include <array>
#include <string_view>

// Every key the two programs look up, with the built-in text the program passes along
// (VarnoletWin's where it has one, else VarnoletMac's). The language files must hold
// them all, with the same placeholders as the built-in text.
struct BuiltInText
{
    std::string_view key;
    std::string_view builtIn;
};

inline constexpr std::array kBuiltInTexts = {
    // Start-up and general messages
    BuiltInText{"ui_alert_have_running_application",
                "Failure to lanuch applicaiton,Because it has been run"},
    BuiltInText{"ui_alert_no_camera", "Error,No Camera\tis Detected"},
    BuiltInText{
        "ui_alert_not_preview_device",
        "Couldn't preview this device,because this device may been using by other applicaiton"},
    BuiltInText{"ui_alert_not_exist_resource_location",
                "Don't exist location of  %s in setting,please setting"},
    BuiltInText{"ui_alert_timed_shot_setting", "Error of time setting to take timed shot"},
    BuiltInText{"ui_alert_exit_system", "Are you sure exiting system?"},
    BuiltInText{"ui_alert_exit_system_doing_timedshot", "Are you sure exiting system?"},
    BuiltInText{"ui_alert_exit_system_doing_recording", "Are you sure exiting system?"},
    BuiltInText{"ui_alert_movie_maxinum_file", "Error to set maximum file size of recording movie"},
    BuiltInText{"ui_alert_savefile", "Save file %s failure"},
    BuiltInText{"ui_alert_ok", "确定"},
    BuiltInText{"ui_alert_cancel", "Cancel"},
    BuiltInText{"ui_dlg_about", "About"},
    BuiltInText{"ui_dlg_setting", "Settings"},
    // Main window
    BuiltInText{"ui_view_btn_take_a_shot", "Take a Photo"},
    BuiltInText{"ui_view_btn_take_timed_shot", "Start Timed Shot"},
    BuiltInText{"ui_view_btn_stop_timed_shot", "Stop Timed Shot"},
    BuiltInText{"ui_view_btn_take_recording", "Start Recording"},
    BuiltInText{"ui_view_btn_stop_recording", "Stop Recording"},
    BuiltInText{"ui_view_btn_settings", "Settings"},
    BuiltInText{"ui_view_btn_about", "About"},
    BuiltInText{"ui_view_btn_exit_system", "Exit System"},
    BuiltInText{"ui_view_btn_full_screen", "full screen"},
    BuiltInText{"ui_view_btn_more_resources", "更多..."},
    BuiltInText{"ui_view_lab_prompt", "Hint:"},
    // Prompt line
    BuiltInText{"ui_prompt_in_take_a_photo_btn", "以分辨率%s进行拍照"},
    BuiltInText{"ui_prompt_in_start_timed_shot_btn", "以分辨率%s进行定时摄像"},
    BuiltInText{"ui_prompt_in_stop_timed_shot_btn", "停止定时摄像"},
    BuiltInText{"ui_prompt_in_start_recording_btn", "以分辨率%s进行录像"},
    BuiltInText{"ui_prompt_in_stop_recording_btn", "停止录像"},
    BuiltInText{"ui_prompt_in_setting_btn", "打开系统设置"},
    BuiltInText{"ui_prompt_in_about_btn", "打开关于"},
    BuiltInText{"ui_prompt_in_exit_btn", "退出系统"},
    BuiltInText{"ui_prompt_doing_taking_a_shot", "正在以分辨率%s进行拍照"},
    BuiltInText{"ui_prompt_doing_timed_shot",
                "正在以分辨率%s进行定时摄像，定时时间  %d 分钟，剩余时间 %d 分钟"},
    BuiltInText{"ui_prompt_doing_recording", "正在以分辨率%s进行录像"},
    BuiltInText{"ui_prompt_doing_preview", "系统正在以分辨率%s进行预览"},
    // Settings dialog and panel
    BuiltInText{"ui_setting_lab_device_setting", "Devices Settting"},
    BuiltInText{"ui_setting_lab_device", "Device:"},
    BuiltInText{"ui_setting_lab_resolution", "Resolution:"},
    BuiltInText{"ui_setting_lab_timed_shot_settings", "Timed Shot Settings"},
    BuiltInText{"ui_setting_lab_shots_front_hint", "Take:"},
    BuiltInText{"ui_setting_lab_shots_later_hint", "Shots per"},
    BuiltInText{"ui_setting_radio_shots_preminute_taking", "minute"},
    BuiltInText{"ui_setting_radio_shots_prehour_taking", "hour"},
    BuiltInText{"ui_setting_radio_shots_preday_taking", "day"},
    BuiltInText{"ui_setting_lab_times_front_hint", "For:"},
    BuiltInText{"ui_setting_radio_times_minute_taking", "minute(s)"},
    BuiltInText{"ui_setting_radio_times_hour_taking", "hour(s)"},
    BuiltInText{"ui_setting_radio_times_day_taking", "day(s)"},
    BuiltInText{"ui_setting_lab_shots_range", "(max.%d)"},
    BuiltInText{"ui_setting_lab_times_range", "(max.%d)"},
    BuiltInText{"ui_setting_lab_movie_setting", "Movie Setting"},
    BuiltInText{"ui_setting_lab_movie_size", "Size:"},
    BuiltInText{"ui_setting_lab_maximum_movie_size_front_hint", "Maximum Movie file size"},
    BuiltInText{"ui_setting_lab_maximum_movie_size_later_hint", "MB(16-4096)"},
    BuiltInText{"ui_setting_lab_location_setting", "Location Setting"},
    BuiltInText{"ui_setting_lab_creating_folder", "文件夹:"},
    BuiltInText{"ui_setting_comobo_not_auto_creating_folder", "不创建文件夹"},
    BuiltInText{"ui_setting_comobo_auto_creating_folder", "创建文件夹"},
    BuiltInText{"ui_setting_lab_lanuage_setting", "Language Setting"},
    BuiltInText{"ui_setting_btn_apply", "Apply"},
    BuiltInText{"ui_setting_btn_undo", "Undo"},
    BuiltInText{"ui_setting_btn_upload", "More..."},
    BuiltInText{"ui_setting_btn_reset", "Default"},
    // Language list
    BuiltInText{"ui_comobo_english", "English"},
    BuiltInText{"ui_comobo_french", "Française"},
    BuiltInText{"ui_comobo_spainsh", "Español"},
    BuiltInText{"ui_comobo_german", "Deutsch"},
    BuiltInText{"ui_comobo_italian", "Italiano"},
    BuiltInText{"ui_comobo_japanese", "日本語"},
    BuiltInText{"ui_comobo_traditional_chiese", "繁體中文"},
    BuiltInText{"ui_comobo_simplified_chiese", "简体中文"},
    // Camera adjust panel
    BuiltInText{"ui_adjust_lab_brightness", "Brightness:"},
    BuiltInText{"ui_adjust_lab_contrast", "Contrast:"},
    BuiltInText{"ui_adjust_lab_hub", "Hub:"},
    BuiltInText{"ui_adjust_lab_saturation", "Saturation:"},
    BuiltInText{"ui_adjust_lab_sharpness", "Sharpness:"},
    BuiltInText{"ui_adjust_btn_ok", "Ok"},
    BuiltInText{"ui_adjust_btn_cancel", "Cancel"},
    BuiltInText{"ui_adjust_btn_setdefault", "Set Default"},
    // VarnoletMac's recording faults and the movie finished after a crash
    BuiltInText{"ui_alert_recording_not_started", "The recording cannot start: %@"},
    BuiltInText{"ui_alert_recording_stopped", "The recording stopped: %@"},
    BuiltInText{"ui_alert_movie_kept_at", "What was recorded is kept in %@"},
    BuiltInText{"ui_alert_movie_not_kept", "Nothing of it could be kept."},
    BuiltInText{"ui_prompt_movie_recovered", "An unfinished movie was finished: %@"},
    BuiltInText{"ui_dlg_adjust", "Camera Adjustment"},
    // Prompt line: movies repaired at start
    BuiltInText{"ui_prompt_repaired_movie", "未完成的录像 %s 已修复，可以播放"},
    BuiltInText{"ui_prompt_repaired_movies", "%d 个未完成的录像已修复，可以播放"},
    // Scale bar, measuring tools and calibration on the live picture
    BuiltInText{"ui_alert_calibration_damaged",
                "The calibration file was damaged and has been set aside:"},
    BuiltInText{"ui_alert_calibration_not_saved", "The calibration could not be saved:"},
    BuiltInText{"ui_measure_lab_not_calibrated", "not calibrated"},
    BuiltInText{"ui_measure_lab_diameter", "Diameter"},
    BuiltInText{"ui_measure_lab_area", "Area"},
    BuiltInText{"ui_measure_menu_line", "Measure a Length"},
    BuiltInText{"ui_measure_menu_polyline", "Measure a Polyline"},
    BuiltInText{"ui_measure_menu_circle", "Circle by Three Points"},
    BuiltInText{"ui_measure_menu_angle", "Measure an Angle"},
    BuiltInText{"ui_measure_menu_calibrate", "Calibrate..."},
    BuiltInText{"ui_measure_menu_finish", "Finish the Polyline"},
    BuiltInText{"ui_measure_menu_clear", "Clear Measurements"},
    BuiltInText{"ui_measure_menu_burn_in", "Put Scale and Measurements on Photos"},
    BuiltInText{"ui_measure_menu_preset", "Preset"},
    BuiltInText{"ui_measure_menu_preset_add", "New Preset..."},
    BuiltInText{"ui_measure_menu_preset_rename", "Rename Preset..."},
    BuiltInText{"ui_measure_menu_preset_delete", "Delete Preset"},
    BuiltInText{"ui_dlg_calibrate", "Calibrate"},
    BuiltInText{"ui_calibrate_lab_line", "Length of the line drawn:"},
    BuiltInText{"ui_calibrate_lab_known_length", "Known length:"},
    BuiltInText{"ui_calibrate_lab_preset", "Preset:"},
};

// The language folders in language-index order, as VarnoletWin names them and as
// VarnoletMac names them (lower case); both name the same shipped folder.
inline constexpr std::array<std::string_view, 8> kWindowsLanguageFolders = {
    "English.lproj", "French.lproj",   "Spanish.lproj", "German.lproj",
    "Italian.lproj", "Japanese.lproj", "zh_Hant.lproj", "zh_Hans.lproj"};
inline constexpr std::array<std::string_view, 8> kMacLanguageFolders = {
    "english.lproj", "french.lproj",   "spanish.lproj", "german.lproj",
    "italian.lproj", "japanese.lproj", "zh_Hant.lproj", "zh_Hans.lproj"};
