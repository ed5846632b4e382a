#pragma once
// Gathers library items into an album (photo library) or a playlist (music library)
// by a script sent to the library's own application: library items are never deleted
// by Twinsift itself. Safe from any thread; each call blocks until the script ran.

#include <string>
#include <vector>

class TWAppleScript {
public:
    static TWAppleScript& shareAppleScript();

    // YES when the script ran without error or there was nothing to do; NO for a name
    // shorter than 3 characters or a script that failed (logged).
    bool removeDuplicatePhotos(const std::vector<std::string>& identifiers, const std::string& albumName,
                               const std::string& folderName);
    bool removeDuplicateiTunes(const std::vector<std::string>& identifiers, const std::string& playlistName);
    // Runs a script through the installed tw::ScriptExecutor; logs the compile error,
    // or the result and the run error (both, every time). YES when it ran without error.
    bool executeAppleString(const std::string& script);
    // Why the last script run on this thread failed ("" after a success), for the user.
    static std::string lastError();

    // The script texts. Every value is put between double quotes with its double
    // quotes and backslashes escaped, so that no value can end its string early.
    static std::string photosScript(const std::vector<std::string>& identifiers, const std::string& albumName,
                                    const std::string& folderName);
    static std::string iTunesScript(const std::vector<std::string>& identifiers, const std::string& playlistName);
    // The music application addressed (Linux follows the newer system: "Music").
    static std::string musicApplicationName();
    static std::string quoted(const std::string& value);  // escapes \ and "
};
