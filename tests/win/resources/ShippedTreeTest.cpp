// The build lays the shipped data next to the executables, byte for byte.
#include "ShippedData.h"

#include <gtest/gtest.h>

TEST(ShippedTreeTest, RuntimeFolderHoldsAnExactCopy)
{
    const std::string source = ShippedData::sourceFolder();
    const std::string runtime = ShippedData::runtimeFolder();
    std::vector<std::string> files = ShippedData::filesBelow(source + "/Resource");
    ASSERT_GE(files.size(), 8u + 17u) << "eight language files and the pictures";
    for (std::string &file : files)
        file = "Resource/" + file;
    files.push_back("config.ini");
    for (const std::string &file : files) {
        const std::string original = ShippedData::readBytes(source + "/" + file);
        ASSERT_FALSE(original.empty()) << file;
        EXPECT_TRUE(ShippedData::readBytes(runtime + "/" + file) == original)
            << file << " differs in " << runtime;
    }
}
