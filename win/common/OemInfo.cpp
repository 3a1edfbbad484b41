#include "OemInfo.h"

#include "IniFile.h"

#include <mutex>

namespace {

std::mutex g_oemLock; // guards g_oem
OemInfo g_oem;

} // namespace

OemInfo ReadOemInfo(const IniFile &file)
{
    OemInfo info;
    info.companyName = file.getString("oem", "companyname", "Hollenby Industries Ltd");
    info.productName = file.getString("oem", "producename", "Varnolet");
    info.webSite = file.getString("oem", "companywebsite", "https://www.hollenby-industries.com");
    info.copyright = file.getString("oem", "copyright",
                                    "Copyright (C) Hollenby Industries Ltd. All rights reserved.");
    info.version = file.getString("oem", "version", "3.1.00");
    return info;
}

OemInfo GetOemInfo()
{
    std::lock_guard lock(g_oemLock);
    return g_oem;
}

void SetOemInfo(const OemInfo &info)
{
    std::lock_guard lock(g_oemLock);
    g_oem = info;
}
