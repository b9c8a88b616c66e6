#pragma once

// A path's 64-bit FNV-1a hash, which can be extended by a name: the hash of "/a/b" is the hash
// of "/a" extended by "/b". The reads of a search know a folder only by its parent and its name;
// with this they still name the folder's full path, for the read gate and the mount table.

#include <cstdint>
#include <string_view>

namespace PathHash {

constexpr uint64_t Empty = 14695981039346656037ull;

constexpr uint64_t extend(uint64_t hash, std::string_view bytes) {
    for (const char byte : bytes) {
        hash ^= uint8_t(byte);
        hash *= 1099511628211ull;
    }
    return hash;
}

constexpr uint64_t of(std::string_view path) {
    return extend(Empty, path);
}

// The hash of `name` inside the folder hashed as `folder`; the root "/" takes no second slash.
constexpr uint64_t child(uint64_t folder, bool folderIsRoot, std::string_view name) {
    return extend(folderIsRoot ? folder : extend(folder, "/"), name);
}

} // namespace PathHash
