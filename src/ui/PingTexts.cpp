#include "ui/PingTexts.h"

namespace rollcall::ui {

UserMessage SocketsFailureMessage(const ping::SocketsFailure &failure)
{
    using Kind = ping::SocketsFailure::Kind;
    const QString library = QStringLiteral("Windows Sockets For 32 bit Windows environments");
    switch (failure.kind) {
    case Kind::NotResponding:
        return { UserMessage::Icon::Critical, library + QStringLiteral(" is not successfully responding.") };
    case Kind::VersionUnsupported:
        return { UserMessage::Icon::Exclamation,
            QStringLiteral("Windows Sockets Version ") + QString::number(failure.versionMajor)
                + QLatin1Char('.') + QString::number(failure.versionMinor)
                + QStringLiteral(" is not supported by ") + library + QLatin1Char('.') };
    case Kind::TooFewSockets:
        return { UserMessage::Icon::Exclamation,
            QStringLiteral("This application requires a minimum of ") + QString::number(failure.socketsNeeded)
                + QStringLiteral(" supported sockets.") };
    case Kind::CleanupFailed:
        break;
    }
    return { UserMessage::Icon::Exclamation,
        QStringLiteral("Windows Sockets Error ") + QString::number(failure.error)
            + QStringLiteral(" occurred in Cleanup.") };
}

} // namespace rollcall::ui
