#pragma once

// What crosses between the walk and the read-ahead: a request to read one folder, and the
// folder read that comes back. Both are self-contained: whoever holds one owns it, and nothing
// in it points into the state of another thread.

#include "core/files/Descriptor.h"
#include "core/folders/FolderReader.h"
#include "core/folders/KeptRecord.h"
#include "core/threads/ReadGate.h"

#include <cstdint>
#include <memory>
#include <string>

// A folder to read: everything a reader needs and nothing of the walk's. A folder is opened
// relative to its parent's descriptor, so that no path is ever too long to open; the parent's
// descriptor lives while a request of one of its subfolders still waits.
struct ReadRequest {
    uint64_t id = 0;
    // The parent's descriptor: none for the start folder, whose `name` is its path, and for a
    // folder whose parent came from what was kept, which is opened by its path.
    std::shared_ptr<const Descriptor> parent;
    std::shared_ptr<const std::string> parentPath; // none for the start folder
    std::string name;
    ReadGate::Place place;
    bool isRoot = false; // the folder is "/"
};

// The full path of the folder a request names, appended to `path`.
inline void appendPath(const ReadRequest& request, std::string& path) {
    if (!request.parentPath) {
        path.append(request.name);
        return;
    }
    path.append(*request.parentPath);
    if (*request.parentPath != "/")
        path.push_back('/');
    path.append(request.name);
}

// What a read hands back.
struct FolderRead {
    int error = 0;                 // errno of a folder that could not be opened
    FolderListing listing;         // its subfolders are those the walk enters
    uint64_t firstSubfolderId = 0; // the request of listing.subfolders[k] is firstSubfolderId + k
    size_t bytes = 0;              // what it counts against the read-ahead bound
    std::shared_ptr<const Descriptor> descriptor; // until its subfolders' requests hold it
    // Kept: the hash of the folder's path; its names as read, to keep; or whether they came
    // from what was kept, or what was kept no longer held.
    uint64_t pathHash = 0;
    KeptRecord toKeep;
    bool fromKept = false;
    bool keptChanged = false;
};
