#include "MessageWatch.h"

#include <cstdio>

namespace movarel::tool {

MessageWatch::MessageWatch(bool print) {
    FPrevious = SetMessageBoxHandler([this, print](const MessageRequest& m) {
        FShown.push_back(m);
        if (print)
            std::fprintf(stderr, "%s: %s\n", m.caption.c_str(), m.text.c_str());
    });
}

MessageWatch::~MessageWatch() { SetMessageBoxHandler(FPrevious); }

bool MessageWatch::SawError() const {
    for (const MessageRequest& m : FShown)
        if (m.icon == MsgIcon::Error)
            return true;
    return false;
}

}  // namespace movarel::tool
