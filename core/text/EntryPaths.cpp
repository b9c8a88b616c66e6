#include "core/text/EntryPaths.h"

#include "core/text/FileNames.h"
#include "core/text/LineBreaks.h"
#include "core/text/SearchOptions.h"

#include <QMimeData>

namespace {

// FileNames keeps a byte that is not UTF-8 as a lone low surrogate U+DC80 to U+DCFF.
bool isKeptByte(const QString& text, qsizetype i) {
    const char16_t c = text.at(i).unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

QString readable(QString entry) {
    for (qsizetype i = 0; i < entry.size(); ++i)
        if (isKeptByte(entry, i))
            entry[i] = QChar::ReplacementCharacter;
    return LineBreaks::visible(entry);
}

} // namespace

namespace EntryPaths {

Kind kindOf(const SearchOptions& options) {
    if (!options.fullPaths)
        return Kind::Text;
    if (options.listFolders)
        return Kind::Folder;
    return options.keepExtensions ? Kind::File : Kind::Text;
}

QString containingFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QByteArray fileUri(const QString& path) {
    // QUrl's own encoding would take the name as UTF-8 first.
    return "file://" + FileNames::encode(path).toPercentEncoding("/");
}

QByteArray uriList(const QStringList& paths) {
    QByteArray list;
    for (const QString& path : paths)
        list += fileUri(path) + "\r\n";
    return list;
}

QString text(const QStringList& entries) {
    QStringList lines;
    lines.reserve(entries.size());
    for (const QString& entry : entries)
        lines.append(readable(entry));
    return lines.join(u'\n');
}

QMimeData* mimeData(const QStringList& entries, Kind kind) {
    auto* data = new QMimeData;
    data->setText(text(entries));
    if (kind != Kind::Text)
        data->setData(QStringLiteral("text/uri-list"), uriList(entries));
    return data;
}

} // namespace EntryPaths
