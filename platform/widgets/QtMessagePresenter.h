#pragma once

#include "platform/system/MessageBox.h"

namespace varnolet {

// Shows message boxes with QMessageBox, without owner window.
class QtMessagePresenter final : public MessagePresenter
{
public:
    MessageResult present(const MessageRequest &request) override;
};

} // namespace varnolet
