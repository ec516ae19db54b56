#include "MessageRecorder.h"

namespace movarel::test {

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageBoxHandler([this](const MessageRequest& m) {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.push_back(m);
    });
}

MessageRecorder::~MessageRecorder() { SetMessageBoxHandler(previous_); }

std::vector<MessageRequest> MessageRecorder::Messages() {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

bool MessageRecorder::Contains(const std::string& text) {
    for (const MessageRequest& m : Messages())
        if (m.text.find(text) != std::string::npos)
            return true;
    return false;
}

void MessageRecorder::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.clear();
}

}  // namespace movarel::test
