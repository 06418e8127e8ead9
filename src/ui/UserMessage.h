#pragma once

#include <QString>

namespace rollcall::ui {

// A message the user must see: what a window shows in a box with one OK button, and what a
// command-line tool prints. The core reports typed failures; only this side words them.
struct UserMessage
{
    enum class Icon { Exclamation, Critical };
    Icon icon = Icon::Exclamation;
    QString text;

    friend bool operator==(const UserMessage &, const UserMessage &) = default;
};

// Two-part messages put CR LF twice between their parts.
inline QString TwoPartMessage(const QString &first, const QString &second)
{
    return first + QStringLiteral("\r\n\r\n") + second;
}

} // namespace rollcall::ui
