#pragma once

#include <QString>

namespace rollcall {

// A failure the user must see. The core only describes it; windows show it through their
// message seam, a command-line tool prints it.
struct UserMessage
{
    enum class Icon { Exclamation, Critical };
    Icon icon = Icon::Exclamation;
    QString text;
    // Details under the text, smaller: what was tried and why it failed. Often empty.
    QString informative;

    friend bool operator==(const UserMessage &, const UserMessage &) = default;
};

// Two-part messages put CR LF twice between their parts.
inline QString TwoPartMessage(const QString &first, const QString &second)
{
    return first + QStringLiteral("\r\n\r\n") + second;
}

} // namespace rollcall
