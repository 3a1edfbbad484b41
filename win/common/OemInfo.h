#pragma once

#include <string>

class IniFile;

// The product strings shown by the about box, from the [oem] section of config.ini.
struct OemInfo
{
    std::string companyName;
    std::string productName;
    std::string webSite;
    std::string copyright;
    std::string version;

    bool operator==(const OemInfo &) const = default;
};

// Reads [oem] (companyname, producename, companywebsite, copyright, version), each key
// with its built-in default when missing.
OemInfo ReadOemInfo(const IniFile &file);
