#pragma once
// Moves an item into a folder under the first free name of the series "name.ext",
// "name 1.ext", "name 2.ext", ... ("name", "name 1", ... without an extension), and never
// replaces anything that is there: choosing the name and taking it are one atomic step
// (a rename that refuses an existing name, or an exclusive create), so a file that
// appears under a candidate name at any moment makes the move try the next number.
//
// Within one file system the item is renamed. Across file systems a regular file is
// copied into a hidden file of its own in the folder (".twinsift-move-*.part"), its
// mode, owner and modification time kept, the copy read back and checked against the
// source (size and whole-content digest), and only then given its real name (without
// replacing anything) and the source deleted. On any failure the source stays and the
// copy is removed; a move that is killed leaves at most the hidden file, never a file
// under a real name, and removePartialCopies() lets a signal handler remove that too.
// A folder (a package) moves only by rename: across file systems it stays where it is.
//
// Safe from any thread; each call touches only the paths it is given.

#include <cstdint>
#include <functional>
#include <string>

#include "Status.h"

class TWFolderMove {
public:
    struct Options {
        // Whether to use the kernel's no-replace rename. Off, or where the file system
        // refuses it, a file is linked to the new name (a link fails when the name
        // exists) and its old name removed; a folder is renamed onto an empty folder
        // created exclusively for it.
        bool renameNoReplace = true;
        // Tests only: called after each block of a copy across file systems has been
        // written to the hidden file, with the bytes copied so far.
        std::function<void(uint64_t copied)> afterCopiedBlock;
    };

    // Moves the item at `source` into `folder` (which must exist). `destination` gets the
    // path the item now has, or, on failure, the last name tried. On failure the status
    // carries the source path, the reason and errno where one applies.
    static tw::Status moveIntoFolder(const std::string& source, const std::string& folder, std::string* destination,
                                     const Options& options);
    static tw::Status moveIntoFolder(const std::string& source, const std::string& folder, std::string* destination) {
        return moveIntoFolder(source, folder, destination, Options{});
    }

    // Removes the hidden copies that moves across file systems are writing at this
    // moment (the moves themselves go on, and fail). Async-signal-safe: for the handler
    // of a signal that ends the process (SIGINT, SIGTERM, SIGHUP).
    static void removePartialCopies() noexcept;

    // Splits a last path component into its name and extension: the extension is the
    // text after the last ".", none when that dot leads the name (".profile") or ends it.
    static void splitName(const std::string& component, std::string* name, std::string* extension);
    // The n-th candidate of the series: n = 0 is base(.ext), n > 0 is "base n(.ext)".
    static std::string candidatePath(const std::string& base, const std::string& extension, unsigned long n);

    // Gives `source` the name `destination` unless something is there. 0 on success,
    // EEXIST when the name is taken, EXDEV across file systems, else the errno.
    static int renameNoReplace(const std::string& source, const std::string& destination, bool isFolder,
                               const Options& options);
};
