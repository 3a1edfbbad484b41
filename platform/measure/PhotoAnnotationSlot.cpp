#include "PhotoAnnotationSlot.h"

#include <utility>

namespace varnolet {

void PhotoAnnotationSlot::publish(std::shared_ptr<const PhotoAnnotation> annotation)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_current = std::move(annotation);
}

std::shared_ptr<const PhotoAnnotation> PhotoAnnotationSlot::current() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_current;
}

} // namespace varnolet
