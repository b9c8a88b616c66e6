#include "core/text/EntryText.h"

#include "core/text/TextSplit.h"

namespace EntryText {

QString startFolderName(const QString& startFolder) {
    return splitText(startFolder, QStringLiteral("/")).constLast();
}

QString filePrefix(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString fileEntry(const SearchOptions& options, const QString& prefix, const QString& fileName) {
    QString entry = options.fullPaths ? prefix + fileName : fileName;
    if (options.keepExtensions || !fileName.contains(u'.'))
        return entry; // a name without a dot has no extension to drop
    // The extension is what follows the name's last dot ("report." has an empty one), so the
    // cut never reaches past that dot into the name or the folder part.
    const qsizetype extension =
        entry.endsWith(u'.') ? 0 : splitText(entry, QStringLiteral(".")).constLast().size();
    entry.chop(extension + 1);
    return entry;
}

QString folderEntry(const SearchOptions& options, const QString& startName, const QString& folder) {
    if (options.fullPaths)
        return folder;
    // Below the start folder, led by its name and one separator. The root has no name, so
    // folders below it read as their own paths and the root itself as "/".
    QString rest = folder.mid(options.startFolder.size());
    if (rest.startsWith(u'/'))
        rest.remove(0, 1);
    if (rest.isEmpty())
        return startName.isEmpty() ? folder : startName;
    return startName + u'/' + rest;
}

} // namespace EntryText
