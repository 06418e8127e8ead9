#pragma once

// The words for how a Steam Web API list ended. rollcall-find prints the same words.

#include "search/WebApiFacts.h"
#include "ui/UserMessage.h"

#include <optional>

namespace rollcall::ui {

// Nothing for a list that came back whole or stopped at the user's own cap; a message for
// everything else, with what the server or the network said below it.
std::optional<UserMessage> WebApiOutcomeMessage(const search::WebApiOutcome &outcome);

// "503 Service Unavailable", or "HTTP 503" when the server gave no reason.
QString HttpStatusText(int status, const QString &reason);

} // namespace rollcall::ui
