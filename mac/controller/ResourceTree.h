#pragma once

#include <string>

// The resource tree as the controller drives it: shown at start-up and after a change of
// the saving location, told of every saved photo and movie. addResource may be called from
// the capture or recording thread; the implementation hands the work to the main thread.
class ResourceTree
{
public:
    virtual ~ResourceTree() = default;
    virtual void showResourcesTree(const std::string &resourcesRoot) = 0;
    virtual void addResource(const std::string &path) = 0;
};
