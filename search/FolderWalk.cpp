// The folder walk: the search itself. It drives the folder list and the hidden file list as its
// iterators, visits subfolders last-listed first and lists a folder after everything below it.

#include "app/Trovan.h"

#include "platform/App.h"
#include "platform/Desktop.h"
#include "platform/FolderCache.h"
#include "platform/ResumeNext.h"

namespace {

const QString FullListMessage =
    QStringLiteral("You've filled the listbox. Search being abandoned...");

// A folder that cannot be entered or read, or that went away during the walk.
bool isFolderAccessError(const RuntimeError& error) {
    switch (error.number()) {
    case ErrorNumber::PathNotFound:
    case ErrorNumber::PermissionDenied:
    case ErrorNumber::DeviceIoError:
    case ErrorNumber::DeviceUnavailable:
    case ErrorNumber::PathFileAccessError:
        return true;
    }
    return false;
}

// The counter caption read as a number, as the counter writes it: leading blanks, then digits.
qint64 captionValue(const QString& caption) {
    qint64 value = 0;
    qsizetype i = 0;
    while (i < caption.size() && caption.at(i) == u' ')
        ++i;
    for (; i < caption.size() && caption.at(i).isDigit(); ++i)
        value = value * 10 + caption.at(i).digitValue();
    return value;
}

} // namespace

bool Trovan::WalkFolder(const QString& folder, const QString& returnPath) {
    m_searchActive = true;
    App::DoEvents();
    if (!m_searchActive)
        return true;

    try {
        // A subfolder swapped for a link during the yield is left alone, as every link is.
        if (!returnPath.isEmpty() && FolderCache::isLink(folder)) {
            resumeNext([&] { dirList->setPath(returnPath); });
            return false;
        }
        // Anything may have happened during the yield: the lists are read again where the
        // folder changed, so that nothing that went away meanwhile is listed.
        dirList->setPath(folder);
        filList->setPath(folder);
        if (walkSubfolders(folder))
            return true;
        listFolder();
        if (!returnPath.isEmpty())
            dirList->setPath(returnPath);
        return false;
    } catch (const RuntimeError& error) {
        if (error.number() == ErrorNumber::OutOfMemory) {
            MsgBox(FullListMessage);
            return true;
        }
        if (isFolderAccessError(error)) {
            // The folder went away or cannot be read: skip it and go on with the rest.
            if (!returnPath.isEmpty())
                resumeNext([&] { dirList->setPath(returnPath); });
            return false;
        }
        MsgBox(error.description());
        return true;
    }
}

bool Trovan::walkSubfolders(const QString& folder) {
    int counter = dirList->ListCount();
    while (counter >= 1 && m_searchActive) {
        const QString notedPath = dirList->Path();
        dirList->setPath(folder);
        bool abandon = false;
        if (chksubmapp->Value() != 0 && dirList->ListCount() >= 1 && enterSubfolder(counter - 1))
            abandon = WalkFolder(dirList->Path(), notedPath);
        --counter;
        if (abandon)
            return true;
    }
    return false;
}

// Links to folders are never walked into, so a link loop can neither hang nor crash the
// search; a subfolder that cannot be opened is left out.
bool Trovan::enterSubfolder(int index) {
    if (dirList->IsLink(index))
        return false;
    try {
        dirList->setPath(dirList->List(index));
        return true;
    } catch (const RuntimeError& error) {
        if (isFolderAccessError(error))
            return false;
        throw;
    }
}

void Trovan::listFolder() {
    if (filList->ListCount() == 0)
        return;
    if (chkmapp->Value() != 0) {
        appendEntry(folderEntry());
        return;
    }
    const QString path = dirList->Path();
    const QString prefix = path.endsWith(u'/') ? path : path + u'/';
    const int lastIndex = filList->ListCount() - 1;
    for (int index = 0; index <= lastIndex; ++index)
        appendEntry(fileEntry(prefix, filList->List(index)));
}

void Trovan::appendEntry(const QString& entry) {
    lstFoundFiles->AddItem(entry);
    lblCount->setCaption(u' ' + QString::number(captionValue(lblCount->Caption()) + 1));
}

QString Trovan::folderEntry() const {
    const QString path = dirList->Path();
    if (Check1->Value() != 0)
        return path;
    // Relative to the start folder: its name and the rest joined by one separator. The root has
    // no name, so folders below it read as their paths and the root itself as "/".
    QString rest = path.mid(lblmapp->Caption().size());
    if (rest.startsWith(u'/'))
        rest.remove(0, 1);
    const QString& startName = lblmappnamn->Caption();
    if (rest.isEmpty())
        return startName.isEmpty() ? path : startName;
    return startName + u'/' + rest;
}

QString Trovan::fileEntry(const QString& prefix, const QString& fileName) const {
    QString entry = Check1->Value() != 0 ? prefix + fileName : fileName;
    if (chkextension->Value() != 0 || !fileName.contains(u'.'))
        return entry; // a name without a dot has no extension to drop
    // The extension is what follows the name's last dot ("report." has an empty one), so the
    // cut never reaches past that dot into the name or the folder part.
    QString extension = Split(entry, QStringLiteral(".")).constLast();
    if (entry.endsWith(u'.'))
        extension.clear();
    entry.chop(extension.size() + 1);
    return entry;
}
