#pragma once
// The contents of a package folder (an application bundle and the like), for what a
// package is worth as a copy: the scan groups two packages as copies only when their
// whole trees are equal, and the removal compares the trees again before it acts.
//
// A walk never follows a symbolic link: a link is compared as a link (its target's
// text), whatever it points to. Entries are visited in byte order of their names, so
// equal trees give equal digests wherever they lie. A tree that cannot be read in full
// (an unreadable file or folder, a file that changes while it is read, a depth beyond
// kMaxDepth) has no digest and so never equals anything.
//
// Stateless; safe from any thread. Each call reads the disk anew.

#include <cstdint>
#include <optional>
#include <string>

#include "TWFileUtility.h"

class TWPackageTree {
public:
    static constexpr int kMaxDepth = 128;

    struct Sizes {
        uint64_t size = 0;        // the sizes of the regular files inside
        uint64_t sizeOnDisk = 0;  // the blocks of every entry inside, in bytes
    };
    // The sizes of what the folder holds; nullopt when it cannot be walked in full.
    static std::optional<Sizes> sizesOf(const std::string& folder);

    // One digest of the tree: every entry's relative path and kind, and for a regular
    // file its size and whole-content digest, for a link its target's text.
    static std::optional<TWContentDigest> digestOf(const std::string& folder);

    // The whole-content digest (XXH3-128) of an open file, read from its start to its
    // end; nullopt on a read error.
    static std::optional<TWContentDigest> digestOfDescriptor(int fd);
};
