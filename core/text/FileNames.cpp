#include "core/text/FileNames.h"

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not valid.
int validSequenceLength(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    const size_t left = s.size() - i;
    const auto isTail = [&](size_t k) { return (byte(k) & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return left >= 2 && isTail(i + 1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 3 || !isTail(i + 1) || !isTail(i + 2))
            return 0;
        const unsigned char b1 = byte(i + 1);
        if (b0 == 0xE0 && b1 < 0xA0)
            return 0; // overlong
        if (b0 == 0xED && b1 >= 0xA0)
            return 0; // encoded surrogate
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 4 || !isTail(i + 1) || !isTail(i + 2) || !isTail(i + 3))
            return 0;
        const unsigned char b1 = byte(i + 1);
        if ((b0 == 0xF0 && b1 < 0x90) || (b0 == 0xF4 && b1 >= 0x90))
            return 0;
        return 4;
    }
    return 0;
}

} // namespace

namespace FileNames {

QString decode(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
        ++i;
    if (i == bytes.size())
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));

    QString out;
    out.reserve(qsizetype(bytes.size()));
    out.append(QLatin1StringView(bytes.data(), qsizetype(i)));
    while (i < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.append(QChar(b));
            ++i;
            continue;
        }
        const int length = validSequenceLength(bytes, i);
        if (length == 0) {
            out.append(QChar(char16_t(EscapeBase + b)));
            ++i;
            continue;
        }
        // Decoded here rather than by QString::fromUtf8, which drops a U+FEFF at the start of
        // what it is given as a byte order mark: in a name it is a character like any other.
        char32_t c = b & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(bytes[i + size_t(k)]) & 0x3F);
        out.append(QChar::fromUcs4(c));
        i += size_t(length);
    }
    return out;
}

QByteArray encode(const QString& name) {
    if (QtPrivate::isAscii(QStringView(name)))
        return name.toLatin1();
    QByteArray out;
    out.reserve(name.size());
    const char16_t* p = reinterpret_cast<const char16_t*>(name.constData());
    const qsizetype n = name.size();
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            out.append(QStringView(p + runStart, end - runStart).toUtf8());
    };
    for (qsizetype k = 0; k < n; ++k) {
        const char16_t c = p[k];
        const bool escapedByte = c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
        const bool lowSurrogateAlone = escapedByte && (k == 0 || !QChar::isHighSurrogate(p[k - 1]));
        if (lowSurrogateAlone) {
            flushRun(k);
            out.append(char(c - EscapeBase));
            runStart = k + 1;
        }
    }
    flushRun(n);
    return out;
}

} // namespace FileNames
