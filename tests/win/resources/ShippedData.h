#pragma once

#include <string>
#include <vector>

// Where the shipped data lies for the tests: the source folder win/resources and the
// runtime folder next to the executables that the build copies it into.
class ShippedData
{
public:
    static std::string sourceFolder();
    static std::string runtimeFolder();
    static std::string macArtFolder();

    // Every file below folder whose path, relative to folder and matched component by
    // component without regard to case, equals relative ("Resource/image/log.bmp").
    static std::vector<std::string> findIgnoringCase(const std::string &folder,
                                                     const std::string &relative);

    // Paths relative to folder of every regular file below it, sorted.
    static std::vector<std::string> filesBelow(const std::string &folder);

    static std::string readBytes(const std::string &path);
};
