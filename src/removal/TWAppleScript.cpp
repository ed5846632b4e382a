#include "TWAppleScript.h"

#include "Log.h"
#include "ScriptExecutor.h"

namespace {
// Names are counted in characters, not bytes.
size_t characterCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}
}  // namespace

TWAppleScript& TWAppleScript::shareAppleScript() {
    static TWAppleScript instance;
    return instance;
}

std::string TWAppleScript::musicApplicationName() { return "Music"; }

std::string TWAppleScript::quoted(const std::string& value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (char c : value) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::string TWAppleScript::photosScript(const std::vector<std::string>& identifiers, const std::string& albumName,
                                        const std::string& folderName) {
    std::string s;
    s += "tell application \"Photos\"\n";
    s += "set albumName to \"" + quoted(albumName) + "\"\n";
    s += "set folderName to \"" + quoted(folderName) + "\"\n";
    s += "if exists folder named folderName then\n";
    s += "set myFolder to folder named folderName\n";
    s += "else\n";
    s += "set myFolder to make new folder named folderName\n";
    s += "end if\n";
    s += "if exists (album named albumName of myFolder) then\n";
    s += "set myAlbum to album named albumName of myFolder\n";
    s += "else\n";
    s += "set myAlbum to make new album named albumName at myFolder\n";
    s += "end if\n";
    s += "set myDuplicateItems to {}\n";
    for (const auto& id : identifiers)
        s += "set myDuplicateItems to myDuplicateItems & (get media items of application \"Photos\" whose id is \"" +
             quoted(id) + "\")\n";
    s += "add myDuplicateItems to myAlbum\n";
    s += "end tell";
    return s;
}

std::string TWAppleScript::iTunesScript(const std::vector<std::string>& identifiers, const std::string& playlistName) {
    std::string s;
    s += "tell application \"" + musicApplicationName() + "\"\n";
    s += "set duplicatePlaylistName to \"" + quoted(playlistName) + "\"\n";
    s += "if user playlist duplicatePlaylistName exists then\n";
    s += "set myDuplicatePlaylist to user playlist duplicatePlaylistName\n";
    s += "else\n";
    s += "set myDuplicatePlaylist to make new user playlist with properties {name:duplicatePlaylistName}\n";
    s += "end if\n";
    s += "set c to get count of track\n";
    s += "set myPersistenIDs to {}\n";
    for (const auto& id : identifiers) s += "set the end of myPersistenIDs to \"" + quoted(id) + "\"\n";
    s += "repeat with i from 1 to c\n";
    s += "set tmp to persistent ID of track i\n";
    s += "if myPersistenIDs contains tmp then\n";
    s += "duplicate track i to myDuplicatePlaylist\n";
    s += "end if\n";
    s += "end repeat\n";
    s += "end tell\n";
    return s;
}

bool TWAppleScript::removeDuplicatePhotos(const std::vector<std::string>& identifiers, const std::string& albumName,
                                          const std::string& folderName) {
    if (characterCount(albumName) < 3) {
        tw::log("Error album name %s, album name must be over 3 character.", albumName.c_str());
        return false;
    }
    if (characterCount(folderName) < 3) {
        tw::log("Error folder name %s, folder must be over 3 characters.", folderName.c_str());
        return false;
    }
    if (identifiers.empty()) return true;
    return executeAppleString(photosScript(identifiers, albumName, folderName));
}

bool TWAppleScript::removeDuplicateiTunes(const std::vector<std::string>& identifiers,
                                          const std::string& playlistName) {
    if (identifiers.empty()) return true;
    if (characterCount(playlistName) < 3) {
        tw::log("the name of playlist must be over 3 characters.");
        return false;
    }
    return executeAppleString(iTunesScript(identifiers, playlistName));
}

namespace {
thread_local std::string tLastError;
}

std::string TWAppleScript::lastError() {
    return tLastError;
}

bool TWAppleScript::executeAppleString(const std::string& script) {
    auto result = tw::ScriptExecutor::installed()->run(script);
    if (!result.compiled) {
        tw::log("%s", result.compileError.c_str());
        tLastError = result.compileError;
        return false;
    }
    tw::log("%s", result.value.c_str());
    tw::log("%s", result.runError ? result.runError->c_str() : "");
    tLastError = result.runError.value_or("");
    return !result.runError;
}
