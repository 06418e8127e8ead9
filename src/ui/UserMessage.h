#pragma once

#include <QString>
#include <utility>

namespace rollcall::ui {

// A message the user must see: what a window shows in a box with one OK button, and what a
// command-line tool prints. The core reports typed failures; only this side words them.
struct UserMessage
{
    enum class Icon { Exclamation, Critical };

    UserMessage() = default;
    UserMessage(Icon iconShown, QString textShown, QString details = QString())
        : icon(iconShown)
        , text(std::move(textShown))
        , informativeText(std::move(details))
    { }

    Icon icon = Icon::Exclamation;
    QString text;
    // Details below the text, such as the address tried; empty for none.
    QString informativeText;

    friend bool operator==(const UserMessage &, const UserMessage &) = default;
};

// Two-part messages put CR LF twice between their parts.
inline QString TwoPartMessage(const QString &first, const QString &second)
{
    return first + QStringLiteral("\r\n\r\n") + second;
}

} // namespace rollcall::ui
