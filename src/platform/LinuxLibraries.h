#pragma once
// The Linux backends of the media-library service and the script executor: the photo
// source reads Shotwell's and digiKam's databases, the music source Rhythmbox's
// library; the clean-up scripts become tags written into those databases (only while
// their application is closed, after a backup) and a playlist made through
// Rhythmbox's D-Bus interface. Each library is looked for anew on every call
// (LibraryLocations.h), so a library made or moved while the program runs is found.
//
// Both classes are safe from any thread.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LibraryContent.h"
#include "MediaLibraryService.h"
#include "ScriptExecutor.h"

namespace tw {

// Where the user chose to keep a source's library ("" when nowhere): a Shotwell or
// digiKam library there is read instead of the one of its kind found by default, a
// Rhythmbox folder instead of the default one; a location that holds none is reported
// as a library that cannot be read. Asked on every use; must be safe from any thread.
using ChosenLocation = std::function<std::string(const std::string& sourceIdentifier)>;

// The libraries found for one source, read; those that could not be read are listed
// with their problem and no items.
std::vector<LibraryContent> readLibrariesOf(const std::string& sourceIdentifier,
                                            const std::string& chosenLocation = "");

class LinuxMediaLibraryService : public MediaLibraryService {
public:
    explicit LinuxMediaLibraryService(ChosenLocation chosen = nullptr) : chosen_(std::move(chosen)) {}
    std::shared_ptr<MediaLibrary> createLibrary(const std::vector<std::string>& sourceIdentifiers) override;
    std::optional<std::vector<MediaLibraryInfo>> librariesOf(const std::string& sourceIdentifier) override;
    std::vector<std::string> referencedFiles(const std::string& sourceIdentifier) override;

private:
    ChosenLocation chosen_;
};

// Carries out the two clean-up scripts that TWAppleScript builds: the photo script's
// album and folder names and item ids, the music script's playlist name and song
// locations. Any other text is refused as a script this system cannot run.
class LinuxLibraryScriptExecutor : public ScriptExecutor {
public:
    using Launcher = std::function<bool(const std::string& applicationName)>;
    // How long a clean-up waits for Rhythmbox to start, and how it starts it when D-Bus
    // activation cannot (AppLauncher::launchByName).
    // `chosen` names the photo libraries tagged, as it does for the service.
    explicit LinuxLibraryScriptExecutor(std::chrono::milliseconds rhythmboxStartLimit = std::chrono::seconds(60),
                                        Launcher launcher = nullptr, ChosenLocation chosen = nullptr);
    Result run(const std::string& scriptText) override;

    // What a script asks for, parsed back from its text; nullopt for another text.
    struct Request {
        bool photos = false;  // else music
        std::string album, folder, playlist;
        std::vector<std::string> identifiers;
    };
    static std::optional<Request> parse(const std::string& scriptText);

private:
    std::chrono::milliseconds startLimit_;
    Launcher launcher_;
    ChosenLocation chosen_;
};

// Installs both backends (the desktop app and the command line call it at start, with
// the locations chosen in the preferences).
void installLinuxLibraries(const ChosenLocation& chosen = nullptr);

}  // namespace tw
