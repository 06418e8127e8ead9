#pragma once

// The words for how a Steam Web API list ended. rollcall-find prints the same words.

#include "search/WebApiFacts.h"
#include "settings/ApiKey.h"
#include "ui/UserMessage.h"

#include <optional>

namespace rollcall::ui {

// Nothing for a list that came back whole or stopped at the user's own cap; a message for
// everything else, with what the server or the network said below it.
std::optional<UserMessage> WebApiOutcomeMessage(const search::WebApiOutcome &outcome);

// "503 Service Unavailable", or "HTTP 503" when the server gave no reason.
QString HttpStatusText(int status, const QString &reason);

// Nothing when the keyring did its part; otherwise what became of the key. `storing`: the answer
// to saving a key (kept for this run only) rather than to reading one.
std::optional<UserMessage> KeyringMessage(settings::KeyringStatus status, bool storing);

// Why a --key-file gave no key, naming the file: "the key file 'k.txt' is empty".
QString KeyFileProblemText(const settings::KeyFile &file, const QString &path);

} // namespace rollcall::ui
