#pragma once

// Messages from the programs under benchmark (a failed open, a file that could not be
// saved) go to stderr, not to a box nobody clicks.

#include <cstdio>
#include <memory>

#include "platform/system/MessageBox.h"

namespace varnolet::bench {

class StderrPresenter final : public MessagePresenter
{
public:
    MessageResult present(const MessageRequest &request) override
    {
        std::fprintf(stderr, "message: %s\n", request.text.c_str());
        return MessageResult::Ok;
    }
};

// A message box that writes every box to stderr and answers Ok.
inline MessageBox stderrMessages()
{
    return MessageBox(std::make_shared<StderrPresenter>());
}

} // namespace varnolet::bench
