#include "VxNotificationCenter.h"

#include <algorithm>

VxNotificationCenter &VxNotificationCenter::defaultCenter()
{
    static VxNotificationCenter *center = new VxNotificationCenter; // lives with the process
    return *center;
}

uint64_t VxNotificationCenter::addObserver(const std::string &name, const void *object,
                                           Observer observer)
{
    std::lock_guard lock(m_lock);
    const uint64_t token = m_nextToken++;
    m_registrations.push_back({token, name, object, std::move(observer)});
    return token;
}

void VxNotificationCenter::removeObserver(uint64_t token)
{
    std::lock_guard lock(m_lock);
    std::erase_if(m_registrations, [token](const Registration &r) { return r.token == token; });
}

void VxNotificationCenter::postNotification(const std::string &name, const void *object,
                                            const std::map<std::string, std::string> &userInfo)
{
    std::vector<Observer> observers;
    {
        std::lock_guard lock(m_lock);
        for (const Registration &r : m_registrations)
            if ((r.name.empty() || r.name == name) && (!r.object || r.object == object))
                observers.push_back(r.observer);
    }
    const VxNotification notification{name, object, userInfo};
    for (const Observer &observer : observers)
        observer(notification);
}
