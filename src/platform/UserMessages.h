#pragma once
// The one message-box service (its handler lives in the system seam,
// FileOps.h). Every part of the player that tells the user
// something goes through ShowMessage; the shell installs a handler that shows a
// real dialog, tests install a recorder, headless tools print to stderr.
#include <functional>
#include <string>

namespace movarel {

enum class MsgIcon { None, Error, Warning, Information };
enum class MsgOwner { None, MainWindow };

struct MessageRequest {
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    MsgIcon icon = MsgIcon::None;
    MsgOwner owner = MsgOwner::None;
};

using MessageBoxHandler = std::function<void(const MessageRequest&)>;

// Shows (or hands to the installed handler) one message. Safe from any thread;
// the handler decides how a message from the timer thread reaches the user.
void ShowMessage(const std::string& text, const std::string& caption,
                 MsgIcon icon = MsgIcon::None, MsgOwner owner = MsgOwner::None);

// Installs a handler and returns the previous one. An empty handler restores
// the default, which writes "caption: text" to stderr.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace movarel
