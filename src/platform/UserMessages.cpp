#include "platform/UserMessages.h"

#include <cstdio>
#include <mutex>

#include "platform/FileOps.h"

namespace movarel {
namespace {

void PrintToStderr(const MessageRequest& m) {
    std::fprintf(stderr, "%s: %s\n", m.caption.c_str(), m.text.c_str());
}

}  // namespace

void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon, MsgOwner owner) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> guard(Files().MessageLock);
        handler = Files().Message;
    }
    MessageRequest request{text, caption, icon, owner};
    if (handler)
        handler(request);
    else
        PrintToStderr(request);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    SystemSeam& seam = Files();
    std::lock_guard<std::mutex> guard(seam.MessageLock);
    MessageBoxHandler previous = std::move(seam.Message);
    seam.Message = std::move(handler);
    return previous;
}

}  // namespace movarel
