#pragma once
// Records every message box shown while it lives instead of showing it, with
// text, caption, icon and owner. Messages may come from the timer thread, so
// the list is read through a copy.
#include <mutex>
#include <string>
#include <vector>

#include "platform/UserMessages.h"

namespace movarel::test {

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<MessageRequest> Messages();
    // Whether a message so far has text in its text.
    bool Contains(const std::string& text);
    void Clear();

private:
    std::mutex lock_;
    std::vector<MessageRequest> messages_;
    MessageBoxHandler previous_;
};

}  // namespace movarel::test
