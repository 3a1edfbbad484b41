#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A notification: its name, the object that posted it and its user information.
struct VxNotification
{
    std::string name;
    const void *object = nullptr;
    std::map<std::string, std::string> userInfo;
};

// The process-wide notification centre for file-system changes. Observers are called
// synchronously on the posting thread, outside the centre's lock.
class VxNotificationCenter
{
public:
    using Observer = std::function<void(const VxNotification &)>;

    static VxNotificationCenter &defaultCenter();

    // Observes notifications of the name (empty: every name) from the object (null: any).
    // Answers a token for removeObserver.
    uint64_t addObserver(const std::string &name, const void *object, Observer observer);
    void removeObserver(uint64_t token);
    void postNotification(const std::string &name, const void *object,
                          const std::map<std::string, std::string> &userInfo);

private:
    struct Registration
    {
        uint64_t token;
        std::string name;
        const void *object;
        Observer observer;
    };

    std::mutex m_lock; // guards m_registrations and m_nextToken
    std::vector<Registration> m_registrations;
    uint64_t m_nextToken = 1;
};
