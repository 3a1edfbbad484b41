#pragma once

#include <memory>
#include <string>

namespace varnolet {

enum class MessageIcon { Warning, Question, Information, Error };
enum class MessageButtons { Ok, OkCancel };
enum class MessageResult { Ok, Cancel, Queued };

// One message box as the program asks for it.
struct MessageRequest
{
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Warning;
    MessageButtons buttons = MessageButtons::Ok;
};

// Shows a message box to the user: a Qt dialog in the programs, a recorder in tests.
// present() is always called on the UI thread when an application object exists.
class MessagePresenter
{
public:
    virtual ~MessagePresenter() = default;
    virtual MessageResult present(const MessageRequest &request) = 0;
};

// Message boxes without owner window through one presenter, callable from any thread.
// A small value: every object that shows boxes is handed one and keeps a copy.
// On the UI thread the box is shown and its answer returned. From any other thread the
// box is queued to the UI thread and the call returns MessageResult::Queued at once, so a
// capture or saving thread never waits for the user.
class MessageBox
{
public:
    // Throws std::invalid_argument when presenter is null.
    explicit MessageBox(std::shared_ptr<MessagePresenter> presenter);

    MessageResult show(const MessageRequest &request) const;
    MessageResult warning(const std::string &text, const std::string &caption = "Varnolet") const;
    MessageResult question(const std::string &text, const std::string &caption = "Varnolet") const;

    const std::shared_ptr<MessagePresenter> &presenter() const { return m_presenter; }

private:
    std::shared_ptr<MessagePresenter> m_presenter; // never null
};

} // namespace varnolet
