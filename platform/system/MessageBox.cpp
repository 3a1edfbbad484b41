#include "MessageBox.h"

#include "MainThreadCall.h"

#include <cstdio>
#include <mutex>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace varnolet {

namespace {

std::mutex g_presenterLock;                    // guards g_presenter
std::shared_ptr<MessagePresenter> g_presenter; // may be empty

MessageResult presentNow(const MessageRequest &request)
{
    std::shared_ptr<MessagePresenter> presenter = MessageBox::presenter();
    if (presenter)
        return presenter->present(request);
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return MessageResult::Ok;
}

} // namespace

MessageResult MessageBox::show(const MessageRequest &request)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return presentNow(request);

    MainThreadCall::postTo(app, [request] { presentNow(request); });
    return MessageResult::Queued;
}

MessageResult MessageBox::warning(const std::string &text, const std::string &caption)
{
    return show({text, caption, MessageIcon::Warning, MessageButtons::Ok});
}

MessageResult MessageBox::question(const std::string &text, const std::string &caption)
{
    return show({text, caption, MessageIcon::Question, MessageButtons::OkCancel});
}

std::shared_ptr<MessagePresenter>
MessageBox::setPresenter(std::shared_ptr<MessagePresenter> presenter)
{
    std::lock_guard lock(g_presenterLock);
    std::swap(g_presenter, presenter);
    return presenter;
}

std::shared_ptr<MessagePresenter> MessageBox::presenter()
{
    std::lock_guard lock(g_presenterLock);
    return g_presenter;
}

} // namespace varnolet
