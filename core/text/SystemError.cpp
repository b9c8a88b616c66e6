#include "core/text/SystemError.h"

#include <cerrno>

namespace {

struct Reason {
    int number;
    const char* text;
};

// The numbers are those the error messages have always shown for each kind of failure.
Reason reasonFor(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
        return {76, "Sökvägen hittades inte"};
    case ENOTDIR:
        return {76, "Sökvägen hittades inte (en del av den är ingen mapp)"};
    case ENAMETOOLONG:
        return {76, "Sökvägen är för lång"};
    case ELOOP:
        return {76, "Sökvägen har för många länkar"};
    case EACCES:
    case EPERM:
        return {70, "Åtkomst nekad"};
    case EROFS:
        return {70, "Enheten är skrivskyddad"};
    case ENOSPC:
        return {61, "Disken är full"};
    case EDQUOT:
        return {61, "Diskkvoten är slut"};
    case EFBIG:
        return {61, "Filen är för stor"};
    case EISDIR:
        return {75, "Det är en mapp, inte en fil"};
    case ENOMEM:
        return {7, "Slut på minne"};
    case EIO:
        return {57, "I/O-fel på enheten"};
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
        return {68, "Enheten är inte tillgänglig"};
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENOTCONN:
    case ESTALE:
        return {68, "Enheten svarar inte"};
    case EMFILE:
    case ENFILE:
        return {67, "För många öppna filer"};
    case EBUSY:
    case ETXTBSY:
        return {75, "Filen används"};
    }
    return {75, "Fel vid åtkomst av sökväg/fil"};
}

} // namespace

SystemError SystemError::fromErrno(int errnoValue, const QString& path) {
    const Reason reason = reasonFor(errnoValue);
    QString text = QString::fromUtf8(reason.text);
    if (!path.isEmpty())
        text += QStringLiteral(": ") + path;
    return SystemError{reason.number, text};
}

SystemError SystemError::forFile(int errnoValue, const QString& path) {
    if (errnoValue == ENOENT)
        return SystemError{53, QStringLiteral("Filen hittades inte: ") + path};
    return fromErrno(errnoValue, path);
}

SystemError SystemError::foreignLink(const QString& link) {
    return SystemError{70,
                       QStringLiteral("Länken ägs av en annan användare och följs inte: ") + link};
}
