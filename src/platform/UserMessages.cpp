#include "platform/UserMessages.h"

#include <cstdio>
#include <mutex>

namespace movarel {
namespace {

struct MessageBoxState {
    std::mutex lock;
    MessageBoxHandler handler;
};

MessageBoxState& State() {
    static MessageBoxState state;
    return state;
}

void PrintToStderr(const MessageRequest& m) {
    std::fprintf(stderr, "%s: %s\n", m.caption.c_str(), m.text.c_str());
}

}  // namespace

void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon, MsgOwner owner) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> guard(State().lock);
        handler = State().handler;
    }
    MessageRequest request{text, caption, icon, owner};
    if (handler)
        handler(request);
    else
        PrintToStderr(request);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> guard(State().lock);
    MessageBoxHandler previous = std::move(State().handler);
    State().handler = std::move(handler);
    return previous;
}

}  // namespace movarel
