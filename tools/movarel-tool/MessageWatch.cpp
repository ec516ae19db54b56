#include "MessageWatch.h"

#include <cstdio>

namespace movarel::tool {

MessageWatch::MessageWatch(bool print) {
    previous_ = SetMessageBoxHandler([this, print](const MessageRequest& m) {
        shown_.push_back(m);
        if (print)
            std::fprintf(stderr, "%s: %s\n", m.caption.c_str(), m.text.c_str());
    });
}

MessageWatch::~MessageWatch() { SetMessageBoxHandler(previous_); }

bool MessageWatch::SawError() const {
    for (const MessageRequest& m : shown_)
        if (m.icon == MsgIcon::Error)
            return true;
    return false;
}

}  // namespace movarel::tool
