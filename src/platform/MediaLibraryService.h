#pragma once
// The media-library service: what a scan needs from a photo or music library.
// A library is created with a filter of source identifiers; it offers its sources by
// identifier, a source its root group, a group its items and child groups, and an
// item its identifier, file location and source. Any of these values may be absent
// at first and arrive later: readers observe the property and wait (every wait is
// bounded; a timeout counts as an absent value).
//
// The Linux backends (Shotwell, digiKam, Rhythmbox) are installed by
// installLinuxLibraries() (LinuxLibraries.h); without an installed service the scan's
// library switches stay off. Implementations must be safe from any thread; observer
// callbacks may arrive on any thread.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Source identifiers of the two libraries.
inline constexpr const char* MLMediaSourcePhotosIdentifier = "org.twinsift.media-source.photos";
inline constexpr const char* MLMediaSourceiTunesIdentifier = "org.twinsift.media-source.music";

namespace tw {

// Change observation of named properties ("mediaSources", "rootMediaGroup",
// "mediaObjects"): a service calls notify() after a property got a new value.
class MediaObservable {
public:
    using Callback = std::function<void(const std::string& keyPath)>;
    virtual ~MediaObservable() = default;

    // Returns a token for removeObserver().
    unsigned long addObserver(const std::string& keyPath, Callback callback);
    void removeObserver(unsigned long token);

protected:
    void notify(const std::string& keyPath);

private:
    std::mutex mutex_;
    unsigned long nextToken_ = 1;
    std::map<unsigned long, std::pair<std::string, Callback>> observers_;
};

class MediaObject {
public:
    virtual ~MediaObject() = default;
    virtual std::string identifier() const = 0;
    // The item's file; nullopt when the item has none.
    virtual std::optional<std::string> filePath() const = 0;
    virtual std::string mediaSourceIdentifier() const = 0;
    // Access to the item's file; false when refused. Each successful start is paired
    // with one stop.
    virtual bool startAccessing() = 0;
    virtual void stopAccessing() = 0;
    // The application whose library holds the item ("Shotwell"); "" when unknown.
    virtual std::string libraryName() const { return {}; }
};

class MediaGroup : public MediaObservable {
public:
    // Absent (nullopt) until the service has loaded the group's items.
    virtual std::optional<std::vector<std::shared_ptr<MediaObject>>> mediaObjects() = 0;
    virtual std::vector<std::shared_ptr<MediaGroup>> childGroups() = 0;
};

class MediaSource : public MediaObservable {
public:
    // Null until the service has loaded it.
    virtual std::shared_ptr<MediaGroup> rootMediaGroup() = 0;
};

class MediaLibrary : public MediaObservable {
public:
    // Absent (nullopt) until the service has loaded the library's sources.
    virtual std::optional<std::map<std::string, std::shared_ptr<MediaSource>>> mediaSources() = 0;
};

// A library that a source reads: its application, where it is, and why it cannot be
// read (empty when it can).
struct MediaLibraryInfo {
    std::string name;
    std::string location;
    std::string problem;
};

class MediaLibraryService {
public:
    virtual ~MediaLibraryService() = default;
    // A library that loads only the given sources.
    virtual std::shared_ptr<MediaLibrary> createLibrary(const std::vector<std::string>& sourceIdentifiers) = 0;
    // The libraries found for a source (empty when it has no library here); nullopt
    // when the service does not tell its libraries apart.
    virtual std::optional<std::vector<MediaLibraryInfo>> librariesOf(const std::string& sourceIdentifier) {
        return std::nullopt;
    }
    // Every file that the source's libraries hold, as absolute paths: the folder walk
    // leaves them to the library road.
    virtual std::vector<std::string> referencedFiles(const std::string& sourceIdentifier) { return {}; }

    // The installed backend, or null when there is none.
    static void install(std::shared_ptr<MediaLibraryService> service);
    static std::shared_ptr<MediaLibraryService> installed();

    // How long a reader waits for a value that arrives later.
    static std::chrono::milliseconds waitLimit();
    static void setWaitLimit(std::chrono::milliseconds limit);
};

// Reads a property that may arrive later: observe `keyPath` on `object`, read, and if
// the value is absent wait (at most MediaLibraryService::waitLimit()) for a change and
// read again; then stop observing. `read` answers nullopt/null while absent.
template <typename T>
T waitForMediaValue(MediaObservable& object, const std::string& keyPath, const std::function<T()>& read);

}  // namespace tw

#include "MediaLibraryServiceWait.h"
