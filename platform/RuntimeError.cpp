#include "platform/RuntimeError.h"

#include <cerrno>

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number), m_description(std::move(description)) {}

QString RuntimeError::describe(int number) {
    switch (number) {
    case ErrorNumber::Overflow:
        return QStringLiteral("Spill");
    case ErrorNumber::OutOfMemory:
        return QStringLiteral("Slut på minne");
    case ErrorNumber::SubscriptOutOfRange:
        return QStringLiteral("Index utanför intervallet");
    case ErrorNumber::BadFileNameOrNumber:
        return QStringLiteral("Felaktigt filnamn eller -nummer");
    case ErrorNumber::FileNotFound:
        return QStringLiteral("Filen hittades inte");
    case ErrorNumber::FileAlreadyOpen:
        return QStringLiteral("Filen är redan öppen");
    case ErrorNumber::DeviceIoError:
        return QStringLiteral("I/O-fel på enheten");
    case ErrorNumber::InputPastEndOfFile:
        return QStringLiteral("Indata efter filslut");
    case ErrorNumber::DeviceUnavailable:
        return QStringLiteral("Enheten är inte tillgänglig");
    case ErrorNumber::PermissionDenied:
        return QStringLiteral("Åtkomst nekad");
    case ErrorNumber::PathFileAccessError:
        return QStringLiteral("Fel vid åtkomst av sökväg/fil");
    case ErrorNumber::PathNotFound:
        return QStringLiteral("Sökvägen hittades inte");
    }
    return QStringLiteral("Programfel %1").arg(number);
}

RuntimeError RuntimeError::fromErrno(int errnoValue, const QString& path) {
    int number = ErrorNumber::PathFileAccessError;
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        number = ErrorNumber::PathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        number = ErrorNumber::PermissionDenied;
        break;
    case EIO:
    case ENOSPC:
        number = ErrorNumber::DeviceIoError;
        break;
    case ENOMEM:
        number = ErrorNumber::OutOfMemory;
        break;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
        number = ErrorNumber::DeviceUnavailable;
        break;
    }
    QString text = describe(number);
    if (!path.isEmpty())
        text += QStringLiteral(": ") + path;
    return RuntimeError(number, text);
}
