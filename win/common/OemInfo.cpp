#include "OemInfo.h"

#include "IniFile.h"

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
