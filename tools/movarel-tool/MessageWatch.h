#pragma once
// The messages the film code shows while a command runs. An error among
// them (a refused segment, an unreadable cabinet) makes the command's status
// 1 even when the rest of the film could be used.
#include <vector>

#include "platform/UserMessages.h"

namespace movarel::tool {

class MessageWatch {
public:
    // print: each message also goes to stderr as "caption: text".
    explicit MessageWatch(bool print);
    ~MessageWatch();
    MessageWatch(const MessageWatch&) = delete;
    MessageWatch& operator=(const MessageWatch&) = delete;

    const std::vector<MessageRequest>& Shown() const { return shown_; }
    bool SawError() const;

private:
    std::vector<MessageRequest> shown_;
    MessageBoxHandler previous_;
};

}  // namespace movarel::tool
