#pragma once

#include <cstdint>
#include <string>

// What the change-processing thread drives: the thumbnail pane. Every call comes on the
// processing thread; an implementation touches widgets only through posted events.
class FolderChangeTarget
{
public:
    virtual ~FolderChangeTarget() = default;
    // Applies one change record whose name is relative to `root`; true when the pane
    // changed and wants a repaint.
    virtual bool ApplyFolderChange(const std::string &root, uint32_t action,
                                   const std::string &name) = 0;
    // Changes were lost: list the shown folder again and repaint.
    virtual void RescanAfterLostChanges() = 0;
    virtual void RepaintAfterChanges() = 0;
};
