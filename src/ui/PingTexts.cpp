#include "ui/PingTexts.h"

#include <QCoreApplication>

namespace rollcall::ui {

UserMessage SocketsFailureMessage(const ping::SocketsFailure &failure)
{
    using Kind = ping::SocketsFailure::Kind;
    // The library's name, as Windows gives it.
    const QString library = QStringLiteral("Windows Sockets For 32 bit Windows environments");
    switch (failure.kind) {
    case Kind::NotResponding:
        return { UserMessage::Icon::Critical,
            QCoreApplication::translate("PingTexts", "%1 is not successfully responding.").arg(library) };
    case Kind::VersionUnsupported:
        return { UserMessage::Icon::Exclamation,
            QCoreApplication::translate("PingTexts", "Windows Sockets Version %1.%2 is not supported by %3.")
                .arg(QString::number(failure.versionMajor), QString::number(failure.versionMinor), library) };
    case Kind::TooFewSockets:
        return { UserMessage::Icon::Exclamation,
            QCoreApplication::translate(
                "PingTexts", "This application requires a minimum of %1 supported sockets.")
                .arg(failure.socketsNeeded) };
    case Kind::CleanupFailed:
        break;
    }
    return { UserMessage::Icon::Exclamation,
        QCoreApplication::translate("PingTexts", "Windows Sockets Error %1 occurred in Cleanup.")
            .arg(failure.error) };
}

} // namespace rollcall::ui
