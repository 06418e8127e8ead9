#pragma once

// The words for the socket library's complaints when a ping cannot start or stop cleanly.

#include "ping/Ping.h"
#include "ui/UserMessage.h"

namespace rollcall::ui {

UserMessage SocketsFailureMessage(const ping::SocketsFailure &failure);

} // namespace rollcall::ui
