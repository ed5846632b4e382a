#include "platform/DefaultsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

#include "platform/JsonBytes.h"
#include "platform/LockFile.h"
#include "platform/Log.h"
#include "platform/SafeFile.h"

namespace tw {

namespace {

using Json = nlohmann::json;

// A file seen this way a moment ago is the same file now unless one of these changed.
// Renaming a new file into place changes the inode, but inode numbers are reused, so
// a file whose modification time is close to now is read again anyway (see isRacy).
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec mtime {};
    struct timespec ctime {};

    static FileIdentity of(const struct stat& st) {
        return FileIdentity{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileIdentity& o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

// Within this many seconds of its modification, a file's identity alone does not
// prove that its content is unchanged (timestamps are coarser than writes).
constexpr time_t kRacySeconds = 2;

bool isRacy(const FileIdentity& id) {
    if (!id.exists) return false;
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    time_t delta = now.tv_sec - id.mtime.tv_sec;
    return delta <= kRacySeconds && delta >= -kRacySeconds;
}

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string realPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer)) return buffer;
    return "";
}

// Where the settings are. The settings file may be a symbolic link (a dotfile manager
// links it; replacing the link would cut it off): its content is then read from, and
// written to, the file it leads to. Nothing is ever created or renamed outside the
// settings folder: a target in the folder is replaced as a plain file would be, a
// target elsewhere is rewritten in place, and a link that leads to nothing readable
// is itself moved aside, never what it leads to.
struct SettingsFile {
    std::string content;  // the file that holds the settings; "" for a link that leads nowhere
    bool isLink = false;
    bool contentInFolder = true;  // `content` lies in the settings folder
    int error = 0;                // why a link leads nowhere

    static SettingsFile locate(const std::string& path) {
        SettingsFile file;
        file.content = path;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return file;
        file.isLink = true;
        file.content = realPath(path);
        if (file.content.empty()) {
            file.error = errno;
            return file;
        }
        const std::string folder = realPath(parentOf(path));
        file.contentInFolder = !folder.empty() && parentOf(file.content) == folder;
        return file;
    }
};

Status makeDirectories(const std::string& dir) {
    if (dir.empty() || dir == "/" || dir == ".") return Status::success();
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Status::success();
        return Status::failure(dir, "is not a folder", ENOTDIR);
    }
    Status parent = makeDirectories(parentOf(dir));
    if (!parent) return parent;
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return Status::failure(dir, std::string("cannot create the folder: ") + strerror(errno), errno);
    return Status::success();
}

std::string timestamp() {
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char text[32];
    strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Moves a damaged settings file to a free "<file>.damaged-<timestamp>[-n]" name in its
// folder, never replacing anything; a link moves as itself (rename and link never
// follow the last component). Returns the new name, or "" with errno set.
std::string moveAside(const std::string& file) {
    std::string base = file + ".damaged-" + timestamp();
    for (int n = 0; n < 1000; ++n) {
        std::string candidate = n == 0 ? base : base + "-" + std::to_string(n);
        if (renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0) return candidate;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return "";
        // A file system without RENAME_NOREPLACE: link then unlink never replaces either.
        if (link(file.c_str(), candidate.c_str()) == 0) {
            unlink(file.c_str());
            return candidate;
        }
        if (errno != EEXIST) return "";
    }
    errno = EEXIST;
    return "";
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Replaces `target` with `text` so that a reader sees the old file or the new one,
// never a part, and the new one survives a crash once this returns success.
Status replaceFile(const std::string& target, const std::string& text, FileIdentity* written) {
    static std::atomic<unsigned> counter{0};
    std::string tmp = target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
    mode_t mode = 0600;
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;

    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return Status::failure(tmp, std::string("cannot create: ") + strerror(errno), errno);
    auto fail = [&](const char* what) {
        int error = errno;
        if (fd >= 0) close(fd);
        unlink(tmp.c_str());
        return Status::failure(target, std::string(what) + strerror(error), error);
    };
    if (!writeAll(fd, text)) return fail("cannot write: ");
    if (fchmod(fd, mode) != 0) return fail("cannot set the mode: ");
    if (fsync(fd) != 0) return fail("cannot flush: ");
    int closing = fd;
    fd = -1;
    if (close(closing) != 0) return fail("cannot close: ");
    if (rename(tmp.c_str(), target.c_str()) != 0) return fail("cannot replace: ");

    struct stat st {};
    if (stat(target.c_str(), &st) == 0) *written = FileIdentity::of(st);
    int dirFd = open(parentOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool synced = dirFd >= 0 && fsync(dirFd) == 0;
    int error = errno;
    if (dirFd >= 0) close(dirFd);
    if (!synced)
        return Status::failure(target, std::string("written, but its folder cannot be flushed: ") + strerror(error),
                               error);
    return Status::success();
}

// Rewrites `target`, a file outside the settings folder that the settings link leads
// to, in place: no file is created or renamed beside it. Unlike replaceFile, a crash
// part-way can leave it damaged, which the next read then finds and moves aside.
Status rewriteInPlace(const std::string& target, const std::string& text, FileIdentity* written) {
    int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Status::failure(target, std::string("cannot open: ") + strerror(errno), errno);
    auto fail = [&](const char* what, int error) {
        close(fd);
        return Status::failure(target, std::string(what) + strerror(error), error);
    };
    struct stat st {};
    if (fstat(fd, &st) != 0) return fail("cannot read its status: ", errno);
    if (!S_ISREG(st.st_mode)) return fail("cannot write: ", EINVAL);
    if (!writeAll(fd, text)) return fail("cannot write: ", errno);
    if (ftruncate(fd, static_cast<off_t>(text.size())) != 0) return fail("cannot set the size: ", errno);
    if (fsync(fd) != 0) return fail("cannot flush: ", errno);
    if (fstat(fd, &st) == 0) *written = FileIdentity::of(st);
    close(fd);
    return Status::success();
}

// What reading the settings file gave.
struct Loaded {
    bool ok = true;  // `document` is what the file holds (or {} when there is none)
    Json document = Json::object();
    FileIdentity identity;
    std::string problem;  // why not ok
    int error = 0;
    bool damaged = false;  // cannot be parsed, and was left in place
};

enum class ReadOutcome { kRead, kUnreadable, kDamaged };

ReadOutcome readFile(const std::string& path, Loaded& out) {
    const SettingsFile where = SettingsFile::locate(path);
    int error = where.error;
    auto file = where.content.empty() ? std::nullopt : SafeFile::open(where.content, &error);
    if (!file && where.isLink) {
        // A link to nothing readable holds no settings: it is moved aside like a
        // damaged file (the link, never what it leads to).
        out.problem = "it is a symbolic link to nothing readable (" + std::string(strerror(error)) + ")";
        return ReadOutcome::kDamaged;
    }
    if (!file) {
        if (error == ENOENT) return ReadOutcome::kRead;  // no settings yet: all defaults
        out.ok = false;
        out.error = error;
        out.problem = std::string("cannot be read: ") + strerror(error);
        return ReadOutcome::kUnreadable;
    }
    out.identity = FileIdentity::of(file->status());
    auto bytes = file->readAll();
    if (!bytes) {
        out.ok = false;
        out.error = errno;
        out.problem = std::string("cannot be read: ") + strerror(out.error);
        return ReadOutcome::kUnreadable;
    }
    std::string text(bytes->begin(), bytes->end());
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return ReadOutcome::kRead;
    try {
        Json parsed = Json::parse(text);
        if (!parsed.is_object()) {
            out.problem = "it does not hold a JSON object";
            return ReadOutcome::kDamaged;
        }
        out.document = std::move(parsed);
        return ReadOutcome::kRead;
    } catch (const Json::exception& e) {
        out.problem = e.what();
        return ReadOutcome::kDamaged;
    }
}

struct State {
    Json stored = Json::object();
    Json overrides = Json::object();
};

const Json* lookup(const State& state, const std::string& key) {
    auto o = state.overrides.find(key);
    if (o != state.overrides.end()) return &*o;
    auto s = state.stored.find(key);
    if (s != state.stored.end()) return &*s;
    return nullptr;
}

std::mutex gStandardMutex;
std::atomic<DefaultsStore*> gStandard{nullptr};

// Every standard store ever made. A reset only stops handing one out: references that
// callers still hold stay valid until the process ends.
std::vector<std::unique_ptr<DefaultsStore>>& allStandardStores() {
    static auto* stores = new std::vector<std::unique_ptr<DefaultsStore>>();
    return *stores;
}

}  // namespace

struct DefaultsStore::Impl {
    std::string path;
    std::string lockPath;

    std::mutex stateMutex;
    std::shared_ptr<const State> state = std::make_shared<State>();  // guarded by stateMutex
    std::atomic<uint64_t> generation{1};

    // Serialises writes and reloads in this process; a reader that finds it taken
    // skips its check and reads the values it has.
    std::mutex fileMutex;
    FileIdentity identity;          // of the file the values were last read from; fileMutex
    bool unreadableLogged = false;  // fileMutex
    std::atomic<int64_t> lastCheck{0};
    std::atomic<bool> checkNow{true};

    std::mutex warnMutex;
    std::set<std::string> warnedKeys;

    std::shared_ptr<const State> snapshot() {
        std::lock_guard<std::mutex> lock(stateMutex);
        return state;
    }

    void installStored(Json document) {
        std::lock_guard<std::mutex> lock(stateMutex);
        if (state->stored == document) return;
        auto next = std::make_shared<State>(*state);
        next->stored = std::move(document);
        state = std::move(next);
        generation.fetch_add(1, std::memory_order_acq_rel);
    }

    // Reads the file; a file that cannot be parsed, or a link to nothing readable, is
    // moved aside under the file lock (taken here unless `haveFileLock`) so that nothing
    // the user set is overwritten; without the lock it stays. fileMutex held.
    Loaded load(bool haveFileLock) {
        Loaded loaded;
        if (readFile(path, loaded) != ReadOutcome::kDamaged) return loaded;
        std::unique_ptr<LockFile> lock;
        if (!haveFileLock) {
            Status status;
            lock = LockFile::acquire(lockPath, true, &status);
            if (!lock) return leftDamaged(loaded, status.reason, status.error);
            loaded = Loaded{};
            if (readFile(path, loaded) != ReadOutcome::kDamaged) return loaded;
        }
        // The settings file itself: a link is moved aside as a link.
        std::string aside = moveAside(path);
        if (aside.empty()) {
            const int error = errno;
            return leftDamaged(loaded, strerror(error), error);
        }
        log("defaults file %s cannot be parsed (%s): moved it to %s and started from the defaults", path.c_str(),
            loaded.problem.c_str(), aside.c_str());
        return Loaded{};
    }

    // A damaged file that stays where it is: the defaults are used meanwhile.
    Loaded leftDamaged(const Loaded& loaded, const std::string& why, int error) {
        log("defaults file %s cannot be parsed (%s) and cannot be moved aside (%s): using the defaults and leaving "
            "it as it is",
            path.c_str(), loaded.problem.c_str(), why.c_str());
        Loaded refused;
        refused.ok = false;
        refused.error = error;
        refused.problem = "cannot be parsed and cannot be moved aside";
        refused.damaged = true;
        refused.identity = loaded.identity;
        return refused;
    }

    void maybeReload() {
        int64_t now = DefaultsStore::freshnessClockNs();
        bool forced = checkNow.load(std::memory_order_acquire);
        if (!forced &&
            now - lastCheck.load(std::memory_order_relaxed) < std::chrono::nanoseconds(kReloadInterval).count())
            return;
        std::unique_lock<std::mutex> lock(fileMutex, std::try_to_lock);
        if (!lock.owns_lock()) return;
        lastCheck.store(now, std::memory_order_relaxed);
        checkNow.store(false, std::memory_order_release);

        FileIdentity current;
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) current = FileIdentity::of(st);
        if (!forced && current == identity && !isRacy(current)) return;

        Loaded loaded = load(false);
        identity = loaded.ok ? loaded.identity : current;
        if (loaded.ok) {
            unreadableLogged = false;
            installStored(std::move(loaded.document));
        } else if (loaded.damaged) {
            installStored(Json::object());
        } else if (!unreadableLogged) {
            // Keep what was read before: an unreadable file says nothing about the values.
            unreadableLogged = true;
            log("defaults file %s %s: keeping the settings read before", path.c_str(), loaded.problem.c_str());
        }
    }

    // Read-modify-write of one key under the file lock; `change` sees the whole stored
    // document and the key's stored value and returns the key's new value (nullopt
    // removes it).
    using DocumentChange = std::function<std::optional<Json>(const Json& document, const std::optional<Json>& stored)>;
    Status update(const std::string& key, const DocumentChange& change);

    void warnWrongType(const std::string& key, const char* expected) {
        std::lock_guard<std::mutex> lock(warnMutex);
        if (warnedKeys.insert(key).second)
            log("defaults key %s does not hold %s: using its default", key.c_str(), expected);
    }
};

std::string DefaultsStore::configHome() {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    std::string home;
    if (const char* h = getenv("HOME"); h && *h) {
        home = h;
    } else {
        struct passwd pw {};
        struct passwd* found = nullptr;
        char buffer[4096];
        if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found) home = found->pw_dir;
    }
    if (home.empty()) home = "/";
    if (home.size() > 1 && home.back() == '/') home.pop_back();
    return (home == "/" ? "" : home) + "/.config";
}

std::string DefaultsStore::standardPath() {
    return configHome() + "/twinsift/defaults.json";
}

DefaultsStore& DefaultsStore::standard() {
    if (DefaultsStore* store = gStandard.load(std::memory_order_acquire)) return *store;
    std::lock_guard<std::mutex> lock(gStandardMutex);
    if (DefaultsStore* store = gStandard.load(std::memory_order_acquire)) return *store;
    auto& stores = allStandardStores();
    stores.push_back(std::make_unique<DefaultsStore>(standardPath()));
    gStandard.store(stores.back().get(), std::memory_order_release);
    return *stores.back();
}

void DefaultsStore::resetStandard() {
    std::lock_guard<std::mutex> lock(gStandardMutex);
    gStandard.store(nullptr, std::memory_order_release);
}

DefaultsStore::DefaultsStore(std::string filePath) : impl_(std::make_unique<Impl>()) {
    impl_->path = std::move(filePath);
    impl_->lockPath = impl_->path + ".lock";
}

DefaultsStore::~DefaultsStore() = default;

const std::string& DefaultsStore::path() const {
    return impl_->path;
}

std::optional<DefaultsStore::Value> DefaultsStore::value(const std::string& key) const {
    impl_->maybeReload();
    auto state = impl_->snapshot();
    if (const Json* found = lookup(*state, key)) return *found;
    return std::nullopt;
}

std::optional<bool> DefaultsStore::boolValue(const std::string& key) const {
    impl_->maybeReload();
    auto state = impl_->snapshot();
    const Json* found = lookup(*state, key);
    if (!found) return std::nullopt;
    if (found->is_boolean()) return found->get<bool>();
    impl_->warnWrongType(key, "a boolean");
    return std::nullopt;
}

std::optional<int64_t> DefaultsStore::intValue(const std::string& key) const {
    impl_->maybeReload();
    auto state = impl_->snapshot();
    const Json* found = lookup(*state, key);
    if (!found) return std::nullopt;
    if (found->is_number_integer() && !found->is_number_unsigned()) return found->get<int64_t>();
    if (found->is_number_unsigned() && found->get<uint64_t>() <= uint64_t(INT64_MAX))
        return static_cast<int64_t>(found->get<uint64_t>());
    impl_->warnWrongType(key, "a signed 64-bit integer");
    return std::nullopt;
}

std::optional<uint64_t> DefaultsStore::uintValue(const std::string& key) const {
    impl_->maybeReload();
    auto state = impl_->snapshot();
    const Json* found = lookup(*state, key);
    if (!found) return std::nullopt;
    if (found->is_number_unsigned()) return found->get<uint64_t>();
    if (found->is_number_integer() && found->get<int64_t>() >= 0) return static_cast<uint64_t>(found->get<int64_t>());
    impl_->warnWrongType(key, "an unsigned 64-bit integer");
    return std::nullopt;
}

std::optional<double> DefaultsStore::doubleValue(const std::string& key) const {
    impl_->maybeReload();
    auto state = impl_->snapshot();
    const Json* found = lookup(*state, key);
    if (!found) return std::nullopt;
    if (found->is_number()) return found->get<double>();
    impl_->warnWrongType(key, "a number");
    return std::nullopt;
}

std::optional<std::string> DefaultsStore::stringValue(const std::string& key) const {
    impl_->maybeReload();
    auto state = impl_->snapshot();
    const Json* found = lookup(*state, key);
    if (!found) return std::nullopt;
    if (auto bytes = bytesFromJson(*found)) return bytes;
    impl_->warnWrongType(key, "a string");
    return std::nullopt;
}

std::optional<std::vector<std::string>> DefaultsStore::stringArrayValue(const std::string& key) const {
    impl_->maybeReload();
    auto state = impl_->snapshot();
    const Json* found = lookup(*state, key);
    if (!found) return std::nullopt;
    if (found->is_array()) {
        std::vector<std::string> strings;
        strings.reserve(found->size());
        for (const auto& element : *found) {
            auto bytes = bytesFromJson(element);
            if (!bytes) break;
            strings.push_back(std::move(*bytes));
        }
        if (strings.size() == found->size()) return strings;
    }
    impl_->warnWrongType(key, "a list of strings");
    return std::nullopt;
}

Status DefaultsStore::setValue(const std::string& key, const Value& value) {
    return updateValue(key, [&](const std::optional<Value>&) { return std::optional<Value>(value); });
}

Status DefaultsStore::removeValue(const std::string& key) {
    return updateValue(key, [](const std::optional<Value>&) { return std::optional<Value>(); });
}

Status DefaultsStore::updateValue(const std::string& key, const Change& change) {
    return impl_->update(key, [&](const Json&, const std::optional<Value>& stored) { return change(stored); });
}

Status DefaultsStore::setValueIf(const std::string& key, const Value& value, const Condition& condition,
                                 bool* written) {
    bool held = false;
    Status status = impl_->update(key, [&](const Json& document, const std::optional<Value>& stored) {
        held = condition(document);
        return held ? std::optional<Value>(value) : stored;
    });
    if (written) *written = status && held;
    return status;
}

Status DefaultsStore::Impl::update(const std::string& key, const DocumentChange& change) {
    Impl& d = *this;
    if (!isValidUtf8(key)) return Status::failure(d.path, "a settings key must be valid UTF-8", EINVAL);
    std::lock_guard<std::mutex> guard(d.fileMutex);
    if (Status made = makeDirectories(parentOf(d.path)); !made) return made;
    Status locked;
    auto lock = LockFile::acquire(d.lockPath, true, &locked);
    if (!lock) return locked;

    Loaded loaded = d.load(true);
    if (!loaded.ok) return Status::failure(d.path, loaded.problem, loaded.error);
    // The file was read anyway: show this process what others wrote meanwhile.
    d.identity = loaded.identity;
    d.installStored(loaded.document);

    std::optional<Value> before;
    if (auto it = loaded.document.find(key); it != loaded.document.end()) before = *it;
    std::optional<Value> after;
    try {
        after = change(loaded.document, before);
    } catch (const std::exception& e) {
        return Status::failure(d.path, std::string("cannot compute the new value: ") + e.what());
    }
    if (after) after = withEncodedBytes(*after);
    if (after == before) return Status::success();

    Json document = std::move(loaded.document);
    if (after)
        document[key] = std::move(*after);
    else
        document.erase(key);
    std::string text;
    try {
        text = document.dump(2) + "\n";
    } catch (const Json::exception& e) {
        return Status::failure(d.path, std::string("cannot serialise the settings: ") + e.what());
    }
    FileIdentity written;
    const SettingsFile where = SettingsFile::locate(d.path);
    Status replaced = where.contentInFolder
                          ? replaceFile(where.content.empty() ? d.path : where.content, text, &written)
                          : rewriteInPlace(where.content, text, &written);
    if (written.exists) {
        // The new file is in place (perhaps not yet flushed): it is what everyone reads.
        d.identity = written;
        d.installStored(std::move(document));
    }
    return replaced;
}

void DefaultsStore::setOverride(const std::string& key, const Value& value) {
    std::lock_guard<std::mutex> lock(impl_->stateMutex);
    auto next = std::make_shared<State>(*impl_->state);
    next->overrides[key] = withEncodedBytes(value);
    impl_->state = std::move(next);
    impl_->generation.fetch_add(1, std::memory_order_acq_rel);
}

void DefaultsStore::clearOverride(const std::string& key) {
    std::lock_guard<std::mutex> lock(impl_->stateMutex);
    if (!impl_->state->overrides.contains(key)) return;
    auto next = std::make_shared<State>(*impl_->state);
    next->overrides.erase(key);
    impl_->state = std::move(next);
    impl_->generation.fetch_add(1, std::memory_order_acq_rel);
}

void DefaultsStore::clearOverrides() {
    std::lock_guard<std::mutex> lock(impl_->stateMutex);
    if (impl_->state->overrides.empty()) return;
    auto next = std::make_shared<State>(*impl_->state);
    next->overrides = Json::object();
    impl_->state = std::move(next);
    impl_->generation.fetch_add(1, std::memory_order_acq_rel);
}

bool DefaultsStore::hasOverride(const std::string& key) const {
    return impl_->snapshot()->overrides.contains(key);
}

int64_t DefaultsStore::freshnessClockNs() {
    struct timespec ts {};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

uint64_t DefaultsStore::generation() const {
    impl_->maybeReload();
    return impl_->generation.load(std::memory_order_acquire);
}

void DefaultsStore::reloadNow() {
    impl_->checkNow.store(true, std::memory_order_release);
}

}  // namespace tw
