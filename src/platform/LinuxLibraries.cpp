#include "LinuxLibraries.h"

#include <unistd.h>

#include <sstream>

#include "AppLauncher.h"
#include "DigikamLibrary.h"
#include "LibraryLocations.h"
#include "LibraryWriteGuard.h"
#include "Log.h"
#include "RhythmboxLibrary.h"
#include "ShotwellLibrary.h"

namespace tw {

namespace {

// --- the libraries found ---

struct Found {
    std::string name;
    std::string location;  // the database or library file to read
    std::string problem;   // set when the library is known but cannot be read
};

// The libraries of a source: those found where their applications keep them, a
// library at the location the user chose standing in for the one of its kind.
std::vector<Found> foundFor(const std::string& source, const std::string& chosen) {
    std::vector<Found> found;
    if (source == MLMediaSourcePhotosIdentifier) {
        const std::string chosenShotwell = chosen.empty() ? "" : libraries::shotwellDatabaseIn(chosen);
        const std::string chosenDigikam = chosen.empty() ? "" : libraries::digikamDatabaseIn(chosen);
        if (!chosen.empty() && chosenShotwell.empty() && chosenDigikam.empty())
            found.push_back(
                {"photo", chosen, "the location chosen in the preferences holds no Shotwell or digiKam library"});
        const std::string shotwell =
            chosenShotwell.empty() ? libraries::shotwellDatabaseIn(libraries::shotwellFolder()) : chosenShotwell;
        if (!shotwell.empty()) found.push_back({libraries::kShotwell, shotwell, ""});
        const libraries::DigikamDatabase digikam = libraries::digikamDatabase();
        if (!chosenDigikam.empty())
            found.push_back({libraries::kDigikam, chosenDigikam, ""});
        else if (digikam.unsupported)
            found.push_back({libraries::kDigikam, libraries::configHome() + "/digikamrc",
                             "digiKam is set up with a MySQL or MariaDB database, which Twinsift does not read"});
        else if (libraries::isRegularFile(digikam.file))
            found.push_back({libraries::kDigikam, digikam.file, ""});
    } else if (source == MLMediaSourceiTunesIdentifier) {
        std::string folder = libraries::rhythmboxFolder();
        if (!chosen.empty()) {
            if (std::string in = libraries::rhythmboxFolderIn(chosen); !in.empty())
                folder = in;
            else
                found.push_back({"music", chosen, "the location chosen in the preferences holds no Rhythmbox library"});
        }
        RhythmboxLibrary rhythmbox(folder);
        if (libraries::isRegularFile(rhythmbox.database()))
            found.push_back({libraries::kRhythmbox, rhythmbox.database(), ""});
    }
    return found;
}

LibraryContent readFound(const Found& found) {
    if (!found.problem.empty())
        return LibraryContent{found.name, found.location, {}, {found.name, {}, {}}, found.problem};
    if (found.name == libraries::kShotwell) return ShotwellLibrary(found.location).read();
    if (found.name == libraries::kDigikam) return DigikamLibrary(found.location).read();
    return RhythmboxLibrary(found.location.substr(0, found.location.rfind('/'))).read();
}

// The database of the library `name` that a source reads; "" when there is none.
std::string databaseOf(const std::string& name, const std::string& source, const std::string& chosen) {
    for (const Found& found : foundFor(source, chosen))
        if (found.name == name && found.problem.empty()) return found.location;
    return {};
}

std::string chosenFor(const ChosenLocation& chosen, const std::string& source) {
    return chosen ? chosen(source) : std::string();
}

// --- the service's objects over read contents ---

class ItemObject : public MediaObject {
public:
    ItemObject(std::shared_ptr<const LibraryContent> content, size_t index, std::string source)
        : content_(std::move(content)), index_(index), source_(std::move(source)) {}
    std::string identifier() const override { return content_->items[index_].identifier; }
    std::optional<std::string> filePath() const override { return content_->items[index_].path; }
    std::string mediaSourceIdentifier() const override { return source_; }
    // An item whose file is missing yields no record.
    bool startAccessing() override { return ::access(content_->items[index_].path.c_str(), F_OK) == 0; }
    void stopAccessing() override {}
    std::string libraryName() const override { return content_->library; }

private:
    std::shared_ptr<const LibraryContent> content_;
    size_t index_;
    std::string source_;
};

// One group of the tree, over the items of one or more libraries of a source.
class TreeGroup : public MediaGroup {
public:
    void add(const std::shared_ptr<const LibraryContent>& content, const LibraryGroupTree& tree,
             std::vector<std::shared_ptr<MediaObject>>& objects) {
        for (size_t index : tree.items) items_.push_back(objects[index]);
        for (const LibraryGroupTree& child : tree.children) {
            auto group = std::make_shared<TreeGroup>();
            group->add(content, child, objects);
            children_.push_back(group);
        }
    }
    std::optional<std::vector<std::shared_ptr<MediaObject>>> mediaObjects() override { return items_; }
    std::vector<std::shared_ptr<MediaGroup>> childGroups() override { return children_; }

private:
    std::vector<std::shared_ptr<MediaObject>> items_;
    std::vector<std::shared_ptr<MediaGroup>> children_;
};

class Source : public MediaSource {
public:
    explicit Source(std::shared_ptr<MediaGroup> root) : root_(std::move(root)) {}
    std::shared_ptr<MediaGroup> rootMediaGroup() override { return root_; }

private:
    std::shared_ptr<MediaGroup> root_;
};

class Library : public MediaLibrary {
public:
    std::optional<std::map<std::string, std::shared_ptr<MediaSource>>> mediaSources() override { return sources_; }
    std::map<std::string, std::shared_ptr<MediaSource>> sources_;
};

// The libraries of a source under one root group: the root holds every library's
// root items, and its children are those of every library.
std::shared_ptr<MediaGroup> rootGroupOf(const std::string& source, const std::string& chosen) {
    auto root = std::make_shared<TreeGroup>();
    for (const LibraryContent& read : readLibrariesOf(source, chosen)) {
        if (!read.ok()) {
            log("%s library %s skipped: %s", read.library.c_str(), read.location.c_str(), read.problem.c_str());
            continue;
        }
        auto content = std::make_shared<const LibraryContent>(read);
        std::vector<std::shared_ptr<MediaObject>> objects;
        objects.reserve(content->items.size());
        for (size_t i = 0; i < content->items.size(); ++i)
            objects.push_back(std::make_shared<ItemObject>(content, i, source));
        root->add(content, content->root, objects);
    }
    return root;
}

}  // namespace

std::vector<LibraryContent> readLibrariesOf(const std::string& sourceIdentifier, const std::string& chosenLocation) {
    std::vector<LibraryContent> contents;
    for (const Found& found : foundFor(sourceIdentifier, chosenLocation)) contents.push_back(readFound(found));
    return contents;
}

std::shared_ptr<MediaLibrary> LinuxMediaLibraryService::createLibrary(const std::vector<std::string>& sources) {
    auto library = std::make_shared<Library>();
    for (const std::string& source : sources)
        if (source == MLMediaSourcePhotosIdentifier || source == MLMediaSourceiTunesIdentifier)
            library->sources_[source] = std::make_shared<Source>(rootGroupOf(source, chosenFor(chosen_, source)));
    return library;
}

std::optional<std::vector<MediaLibraryInfo>> LinuxMediaLibraryService::librariesOf(
    const std::string& sourceIdentifier) {
    std::vector<MediaLibraryInfo> infos;
    for (const LibraryContent& content : readLibrariesOf(sourceIdentifier, chosenFor(chosen_, sourceIdentifier)))
        infos.push_back({content.library, content.location, content.problem});
    return infos;
}

std::vector<std::string> LinuxMediaLibraryService::referencedFiles(const std::string& sourceIdentifier) {
    std::vector<std::string> paths;
    for (const LibraryContent& content : readLibrariesOf(sourceIdentifier, chosenFor(chosen_, sourceIdentifier)))
        for (const LibraryItem& item : content.items) paths.push_back(item.path);
    return paths;
}

// --- the executor ---

namespace {

// The value between the first pair of unescaped double quotes after `prefix`.
std::optional<std::string> quotedAfter(const std::string& line, const std::string& prefix) {
    if (line.rfind(prefix, 0) != 0 || line.size() <= prefix.size() || line[prefix.size()] != '"') return std::nullopt;
    std::string value;
    for (size_t i = prefix.size() + 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            value += line[++i];
        } else if (line[i] == '"') {
            return value;
        } else {
            value += line[i];
        }
    }
    return std::nullopt;
}

ScriptExecutor::Result ranWith(const Status& status) {
    ScriptExecutor::Result result;
    result.compiled = true;
    if (!status) result.runError = status.message();
    return result;
}

Status tagPhotos(const LinuxLibraryScriptExecutor::Request& request, const std::string& chosen) {
    std::vector<std::string> shotwellIds, digikamIds;
    for (const auto& id : request.identifiers)
        (id.rfind(DigikamLibrary::kIdentifierPrefix, 0) == 0 ? digikamIds : shotwellIds).push_back(id);
    Status status = Status::success();
    auto write = [&](const std::string& application, const std::string& database, const char* busName, bool prefix,
                     const std::function<Status()>& tag) {
        if (database.empty()) return Status::failure("", "no " + application + " library was found");
        if (Status refused = LibraryWriteGuard::refuseWhileRunning(application, busName, prefix); !refused)
            return refused;
        if (Status backup = LibraryWriteGuard::backUp(database, nullptr); !backup) return backup;
        return tag();
    };
    if (!shotwellIds.empty()) {
        const std::string db = databaseOf(libraries::kShotwell, MLMediaSourcePhotosIdentifier, chosen);
        status = write(libraries::kShotwell, db, LibraryWriteGuard::kShotwellBusName, false,
                       [&] { return ShotwellLibrary(db).addToTag(shotwellIds, request.folder, request.album); });
    }
    if (status && !digikamIds.empty()) {
        const std::string db = databaseOf(libraries::kDigikam, MLMediaSourcePhotosIdentifier, chosen);
        status = write(libraries::kDigikam, db, LibraryWriteGuard::kDigikamBusNamePrefix, true,
                       [&] { return DigikamLibrary(db).addToTag(digikamIds, request.folder, request.album); });
    }
    return status;
}

}  // namespace

LinuxLibraryScriptExecutor::LinuxLibraryScriptExecutor(std::chrono::milliseconds rhythmboxStartLimit, Launcher launcher,
                                                       ChosenLocation chosen)
    : startLimit_(rhythmboxStartLimit),
      launcher_(launcher ? std::move(launcher) : Launcher(&AppLauncher::launchByName)),
      chosen_(std::move(chosen)) {}

std::optional<LinuxLibraryScriptExecutor::Request> LinuxLibraryScriptExecutor::parse(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    Request request;
    if (!std::getline(lines, line)) return std::nullopt;
    if (line == "tell application \"Photos\"")
        request.photos = true;
    else if (line != "tell application \"Music\"")
        return std::nullopt;
    while (std::getline(lines, line)) {
        if (auto v = quotedAfter(line, "set albumName to ")) request.album = *v;
        if (auto v = quotedAfter(line, "set folderName to ")) request.folder = *v;
        if (auto v = quotedAfter(line, "set duplicatePlaylistName to ")) request.playlist = *v;
        if (auto v = quotedAfter(line, "set the end of myPersistenIDs to ")) request.identifiers.push_back(*v);
        const std::string item =
            "set myDuplicateItems to myDuplicateItems & (get media items of application "
            "\"Photos\" whose id is ";
        if (auto v = quotedAfter(line, item)) request.identifiers.push_back(*v);
    }
    const bool named = request.photos ? !request.album.empty() && !request.folder.empty() : !request.playlist.empty();
    if (!named) return std::nullopt;
    return request;
}

ScriptExecutor::Result LinuxLibraryScriptExecutor::run(const std::string& scriptText) {
    const std::optional<Request> request = parse(scriptText);
    if (!request) {
        Result refused;
        refused.compileError = "not a library clean-up script that this system can carry out";
        return refused;
    }
    if (request->identifiers.empty()) return ranWith(Status::success());
    if (request->photos) return ranWith(tagPhotos(*request, chosenFor(chosen_, MLMediaSourcePhotosIdentifier)));
    return ranWith(RhythmboxLibrary::addToPlaylist(request->identifiers, request->playlist, startLimit_, launcher_));
}

void installLinuxLibraries(const ChosenLocation& chosen) {
    MediaLibraryService::install(std::make_shared<LinuxMediaLibraryService>(chosen));
    ScriptExecutor::install(std::make_shared<LinuxLibraryScriptExecutor>(std::chrono::seconds(60), nullptr, chosen));
}

}  // namespace tw
