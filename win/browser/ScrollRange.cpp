#include "ScrollRange.h"

#include <algorithm>
#include <climits>

int ScrollRange::MaximumFor(int count)
{
    const long long maximum = static_cast<long long>(std::max(count, 0)) * kLineStep;
    return static_cast<int>(std::min<long long>(maximum, INT_MAX / 2));
}

int ScrollRange::MaximumPosition() const
{
    const int pageSpan = std::max(m_page - 1, 0);
    return std::max(m_maximum - pageSpan, 0);
}

int ScrollRange::Clamp(long long position) const
{
    return static_cast<int>(std::clamp<long long>(position, 0, MaximumPosition()));
}

void ScrollRange::Reset(int count, int page)
{
    m_maximum = MaximumFor(count);
    m_page = std::max(page, 0);
    m_position = 0;
}

void ScrollRange::Update(int count)
{
    const int oldMaximum = m_maximum;
    m_maximum = MaximumFor(count);
    m_position = Clamp(static_cast<long long>(m_position) + m_maximum - oldMaximum);
}

void ScrollRange::ToEnd(int count)
{
    m_maximum = MaximumFor(count);
    m_position = Clamp(m_maximum);
}

void ScrollRange::SetPage(int page)
{
    m_page = std::max(page, 0);
    m_position = Clamp(m_position);
}

bool ScrollRange::MoveTo(long long position)
{
    const int clamped = Clamp(position);
    if (clamped == m_position)
        return false;
    m_position = clamped;
    return true;
}

bool ScrollRange::Wheel(int delta, bool *handled)
{
    *handled = delta != 0;
    if (delta == 0)
        return false;
    return delta < 0 ? LineDown() : LineUp();
}
