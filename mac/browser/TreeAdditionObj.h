#pragma once

#include <optional>
#include <string>
#include <vector>

// Index path of a node in the resource tree, from the top level: [0] is the root folder.
using IndexPath = std::vector<int>;

// One request to add a folder node: under the node at indexPath (none: at the top level),
// titled nodeName, for the folder nodeURL.
struct TreeAdditionObj
{
    std::optional<IndexPath> indexPath;
    std::string nodeURL;
    std::string nodeName;
    bool selectItsParent = true;
};
