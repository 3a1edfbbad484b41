#include "MessageBox.h"

#include "MainThreadCall.h"

#include <stdexcept>

#include <QCoreApplication>
#include <QThread>

namespace varnolet {

MessageBox::MessageBox(std::shared_ptr<MessagePresenter> presenter)
    : m_presenter(std::move(presenter))
{
    if (!m_presenter)
        throw std::invalid_argument("MessageBox needs a presenter");
}

MessageResult MessageBox::show(const MessageRequest &request) const
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return m_presenter->present(request);

    // The queued call keeps the presenter alive until the UI thread has shown the box.
    MainThreadCall::postTo(app,
                           [presenter = m_presenter, request] { presenter->present(request); });
    return MessageResult::Queued;
}

MessageResult MessageBox::warning(const std::string &text, const std::string &caption) const
{
    return show({text, caption, MessageIcon::Warning, MessageButtons::Ok});
}

MessageResult MessageBox::question(const std::string &text, const std::string &caption) const
{
    return show({text, caption, MessageIcon::Question, MessageButtons::OkCancel});
}

} // namespace varnolet
