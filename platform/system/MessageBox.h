#pragma once

#include <functional>
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

// Shows a message box to the user. Installed once by the program (a Qt dialog) or by a
// test (a recorder). present() is always called on the UI thread when an application
// object exists.
class MessagePresenter
{
public:
    virtual ~MessagePresenter() = default;
    virtual MessageResult present(const MessageRequest &request) = 0;
};

// Message boxes without owner window, callable from any thread.
// On the UI thread the box is shown and its answer returned. From any other thread the
// box is queued to the UI thread and the call returns MessageResult::Queued at once, so a
// capture or saving thread never waits for the user.
class MessageBox
{
public:
    static MessageResult show(const MessageRequest &request);
    static MessageResult warning(const std::string &text, const std::string &caption = "Varnolet");
    static MessageResult question(const std::string &text, const std::string &caption = "Varnolet");

    // Installs the presenter and returns the previous one. Without any presenter,
    // boxes are written to stderr and answered with Ok.
    static std::shared_ptr<MessagePresenter>
    setPresenter(std::shared_ptr<MessagePresenter> presenter);
    static std::shared_ptr<MessagePresenter> presenter();
};

} // namespace varnolet
