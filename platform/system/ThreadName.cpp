#include "ThreadName.h"

#include <pthread.h>

namespace varnolet {

void ThreadName::set(const std::string &name)
{
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

} // namespace varnolet
