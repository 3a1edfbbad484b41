#include "MainThreadCall.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QThread>

namespace varnolet {

MainThreadCall::MainThreadCall(QObject *parent)
    : QObject(parent)
    , m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_wakeFd < 0)
        return;
    m_notifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
        runPending();
    });
}

MainThreadCall::~MainThreadCall()
{
    delete m_notifier;
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void MainThreadCall::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void MainThreadCall::post(std::function<void()> function)
{
    {
        std::lock_guard lock(m_lock);
        m_queue.push_back({std::move(function), nullptr});
    }
    wake();
}

bool MainThreadCall::callAndWait(std::function<void()> function)
{
    if (QThread::currentThread() == thread()) {
        function();
        return true;
    }
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard lock(m_lock);
        m_queue.push_back({std::move(function), done});
    }
    wake();
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [&] { return *done || m_aborted; });
    return *done;
}

void MainThreadCall::runPending()
{
    for (;;) {
        Item item;
        {
            std::lock_guard lock(m_lock);
            if (m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        item.function();
        if (item.done) {
            {
                std::lock_guard lock(m_lock);
                *item.done = true;
            }
            m_changed.notify_all();
        }
    }
}

void MainThreadCall::abortWaits()
{
    {
        std::lock_guard lock(m_lock);
        m_aborted = true;
    }
    m_changed.notify_all();
}

void MainThreadCall::allowWaits()
{
    std::lock_guard lock(m_lock);
    m_aborted = false;
}

} // namespace varnolet
