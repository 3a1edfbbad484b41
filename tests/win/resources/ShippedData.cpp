#include "ShippedData.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QString>

namespace fs = std::filesystem;

std::string ShippedData::sourceFolder()
{
    return VARNOLET_RESOURCES_SOURCE_DIR;
}

std::string ShippedData::runtimeFolder()
{
    return VARNOLET_RESOURCES_RUNTIME_DIR;
}

std::string ShippedData::macArtFolder()
{
    return VARNOLET_MAC_ART_DIR;
}

std::vector<std::string> ShippedData::findIgnoringCase(const std::string &folder,
                                                       const std::string &relative)
{
    std::vector<std::string> current = {folder};
    std::stringstream parts(relative);
    std::string part;
    while (std::getline(parts, part, '/')) {
        std::vector<std::string> next;
        for (const std::string &base : current) {
            std::error_code error;
            for (const fs::directory_entry &entry : fs::directory_iterator(base, error)) {
                const QString name = QString::fromStdString(entry.path().filename().string());
                if (name.compare(QString::fromStdString(part), Qt::CaseInsensitive) == 0)
                    next.push_back(entry.path().string());
            }
        }
        current = std::move(next);
    }
    std::sort(current.begin(), current.end());
    return current;
}

std::vector<std::string> ShippedData::filesBelow(const std::string &folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ShippedData::readBytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}
