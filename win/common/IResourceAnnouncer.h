#pragma once

#include <string>

// Receives every file the capture engine has just saved (a photo, a timed shot, a closed
// movie). The folder tree of the main window implements it; calls come from the capture,
// saving and UI threads, so an implementation hands the work to the UI thread.
class IResourceAnnouncer
{
public:
    virtual ~IResourceAnnouncer() = default;
    virtual void AddResourceFile(const std::string &path) = 0;
};
