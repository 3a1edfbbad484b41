#pragma once

#include "PhotoAnnotation.h"

#include <memory>
#include <mutex>

namespace varnolet {

// Where a window's measuring state hands its photo annotation to the threads that save
// photos: the window publishes a new state whenever it changes, and every photo (button,
// timed and snapshot photos alike) takes the one current then. Owned by what saves the
// photos; any thread.
class PhotoAnnotationSlot
{
public:
    // None: photos carry no scale.
    void publish(std::shared_ptr<const PhotoAnnotation> annotation);
    std::shared_ptr<const PhotoAnnotation> current() const;

private:
    mutable std::mutex m_lock; // guards m_current
    std::shared_ptr<const PhotoAnnotation> m_current;
};

} // namespace varnolet
