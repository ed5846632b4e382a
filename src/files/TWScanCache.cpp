#include "files/TWScanCache.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numeric>
#include <tuple>

#include "platform/LockFile.h"
#include "platform/Log.h"

namespace {

constexpr int kSchemaVersion = 4;
constexpr int kBusyMs = 5000;
constexpr int64_t kNsPerDay = 86'400'000'000'000;

// The columns a recall statement answers first, in this order.
enum Column { kDevice, kInode, kSize, kModify, kChange, kSeen, kFirstValue };

int64_t realtimeNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool isDamage(int code) {
    return (code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Makes every missing folder of `folder` (private to the user).
bool makeFolders(const std::string& folder) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

void removeJournal(const std::string& path) {
    ::unlink((path + "-wal").c_str());
    ::unlink((path + "-shm").c_str());
}

// Moves the damaged file at `path` aside, journal dropped; the next open begins anew.
void setAside(const std::string& path, const std::string& why) {
    const std::string aside = path + ".damaged";
    if (::rename(path.c_str(), aside.c_str()) == 0) {
        removeJournal(path);
        tw::log("The file cache %s was damaged (%s): moved to %s and begun anew.", path.c_str(), why.c_str(),
                aside.c_str());
    } else if (errno != ENOENT) {
        tw::log("The file cache %s is damaged (%s) and could not be moved aside: %s.", path.c_str(), why.c_str(),
                std::strerror(errno));
    }
}

std::unique_ptr<tw::LockFile> lockCache(const std::string& path) {
    tw::Status status;
    return tw::LockFile::acquire(path + ".lock", true, &status);
}

struct Opened {
    std::optional<tw::SqliteDatabase> database;
    bool damaged = false;
    std::string error;
};

// Opens (making it when missing) and readies the file; `damaged` when SQLite says it is.
Opened openDatabase(const std::string& path, bool create) {
    Opened opened;
    tw::SqliteDatabase database =
        create ? tw::SqliteDatabase::openOrCreate(path, kBusyMs) : tw::SqliteDatabase::openReadWrite(path, kBusyMs);
    const auto fail = [&](const tw::SqliteDatabase& db) {
        opened.damaged = isDamage(db.errorCode());
        opened.error = db.error();
        return std::move(opened);
    };
    if (!database.isOpen()) return fail(database);
    // WAL: readers never wait for a writer, and one writer at a time commits quickly.
    if (!database.execute("PRAGMA journal_mode=WAL") || !database.execute("PRAGMA synchronous=NORMAL"))
        return fail(database);
    opened.database.emplace(std::move(database));
    return opened;
}

}  // namespace

std::optional<TWScanCache::Stamp> TWScanCache::stampOf(const TWFileUtility& record) {
    if (!record.isPlainFileRecord() || !record.hasIdentity() || !record.isRegularFile() ||
        record.fileType() != TWFileTypeRegular)
        return std::nullopt;
    return Stamp{record.device(),       record.inode(),        record.fileSize(),
                 record.modifyTimeNs(), record.changeTimeNs(), S_IFREG};
}

std::string TWScanCache::defaultPath() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string folder;
    if (cache && cache[0] == '/') {
        folder = cache;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home && home[0] ? home : "/tmp") + "/.cache";
    }
    return folder + "/twinsift/cache.sqlite3";
}

std::unique_ptr<TWScanCache> TWScanCache::open(const std::string& path) {
    if (!makeFolders(folderOf(path))) {
        tw::log("The file cache %s cannot be made: %s.", path.c_str(), std::strerror(errno));
        return nullptr;
    }
    // Setting a damaged file aside and beginning anew happen under the lock, so that two
    // processes never move each other's new file aside.
    auto lock = lockCache(path);
    Opened opened;
    for (int attempt = 0; attempt < 2; ++attempt) {
        opened = openDatabase(path, true);
        if (opened.database && !prepareSchema(*opened.database)) {
            opened.damaged = isDamage(opened.database->errorCode());
            opened.error = opened.database->error();
            opened.database.reset();
        }
        if (opened.database || !opened.damaged) break;
        setAside(path, opened.error);
    }
    if (!opened.database) {
        tw::log("The file cache %s cannot be opened: %s.", path.c_str(), opened.error.c_str());
        return nullptr;
    }
    Opened writer = openDatabase(path, false);
    if (!writer.database) {
        tw::log("The file cache %s cannot be opened: %s.", path.c_str(), writer.error.c_str());
        return nullptr;
    }
    bool empty = true;
    opened.database->query("SELECT 1 FROM files LIMIT 1", {}, [&](const tw::SqliteRow&) {
        empty = false;
        return false;
    });
    auto cache =
        std::make_unique<TWScanCache>(PrivateTag{}, path, std::move(*opened.database), std::move(*writer.database));
    cache->beganEmpty_ = empty;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        cache->fileDevice_ = st.st_dev;
        cache->fileInode_ = st.st_ino;
    }
    return cache;
}

bool TWScanCache::prepareSchema(tw::SqliteDatabase& database) {
    int64_t version = -1;
    if (!database.query("PRAGMA user_version", {}, [&](const tw::SqliteRow& row) {
            version = row.integer(0);
            return false;
        }))
        return false;
    if (version != kSchemaVersion) {
        // Another version's values may mean something else: they are made again.
        if (!database.execute("DROP TABLE IF EXISTS files") || !database.execute("DROP TABLE IF EXISTS meta"))
            return false;
    }
    // One row a file, its path's Key as the row id: a look-up is one walk of one tree of
    // whole numbers, and the rows of one folder lie side by side. Keyed by (inode,
    // device) before (version 2), a folder's files lay thousands of rows apart, and
    // nearly every look-up of a rescan read a page of the file (64,000 reads for 89,000
    // look-ups at 100,000 files). Hashes and digests are 16 bytes; pictures keep their
    // signature bytes.
    if (!database.execute("CREATE TABLE IF NOT EXISTS files(key INTEGER PRIMARY KEY,"
                          " device INTEGER NOT NULL, inode INTEGER NOT NULL,"
                          " size INTEGER NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL,"
                          " seen INTEGER NOT NULL, hash BLOB, digest BLOB, width INTEGER, height INTEGER,"
                          " histogram BLOB, look BLOB)") ||
        !database.execute("CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value INTEGER)"))
        return false;
    // Written only when it changes: every write commits, and a commit may go on to copy
    // the journal into the file (what another process's readers kept a session from
    // copying is left in it).
    if (version != kSchemaVersion && !database.execute("PRAGMA user_version=" + std::to_string(kSchemaVersion)))
        return false;
    forgetOldEntries(database, realtimeNs() / kNsPerDay);
    // A damaged page shows on the first read of it, which may be much later; the
    // header and the schema are checked here.
    return database.execute("SELECT count(*) FROM meta");
}

void TWScanCache::forgetOldEntries(tw::SqliteDatabase& database, int64_t today) {
    int64_t lastForgot = -1;
    database.query("SELECT value FROM meta WHERE key='forgotten'", {}, [&](const tw::SqliteRow& row) {
        lastForgot = row.integer(0);
        return false;
    });
    if (lastForgot == today) return;
    // Once a day at most: the pass reads every entry.
    database.execute("BEGIN IMMEDIATE");
    database.execute("DELETE FROM files WHERE seen < ?", {today - kForgetAfterDays});
    database.execute("INSERT OR REPLACE INTO meta(key, value) VALUES('forgotten', ?)", {today});
    database.execute("COMMIT");
}

bool TWScanCache::clear(const std::string& path, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    auto lock = lockCache(path);
    Opened opened = openDatabase(path, false);
    if (opened.database && opened.database->execute("DELETE FROM files")) {
        // Gives the space back; a scan reading the file meanwhile only keeps it for later.
        opened.database->execute("VACUUM");
        return true;
    }
    if (opened.database ? !isDamage(opened.database->errorCode()) : !opened.damaged) {
        if (error) *error = opened.database ? opened.database->error() : opened.error;
        return false;
    }
    // A file SQLite cannot read at all is removed.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    removeJournal(path);
    return true;
}

namespace {

std::atomic<uint64_t> lastSessionId{0};

// The reader the thread used last, and the session it belongs to.
struct ReaderMemo {
    uint64_t session = 0;
    void* reader = nullptr;
};
thread_local ReaderMemo readerMemo;

}  // namespace

TWScanCache::TWScanCache(PrivateTag, std::string path, tw::SqliteDatabase reader, tw::SqliteDatabase writer)
    : path_(std::move(path)),
      settleClockNs_(TWFileStamp::fileClockNs()),
      today_(realtimeNs() / kNsPerDay),
      id_(++lastSessionId) {
    spare_ = makeReader(std::move(reader));
    writer_.emplace(std::move(writer));
    writer_->execute("PRAGMA cache_size=" + std::to_string(-kWriterCacheKiB));
    // The journal is copied into the file when it reaches kMostJournalBytes, and once
    // more when the session ends. Copied every thousand pages, as SQLite does by itself,
    // each page a scan dirties again was read back and copied again (a first scan of
    // 100,000 files: 23,000 writes and 14,000 reads of the cache's files, against 9,000
    // and none). Never copied before the end, the journal grew with the square of the
    // files, as every batch dirties pages all over the table: 37 MB at 100,000 files,
    // 139 MB at 200,000, gigabytes beyond. Bounded at 32 MB, a scan is as fast.
    int64_t pageBytes = 4096;
    writer_->query("PRAGMA page_size", {}, [&](const tw::SqliteRow& row) {
        pageBytes = std::max<int64_t>(row.integer(0), 512);
        return false;
    });
    writer_->execute("PRAGMA wal_autocheckpoint=" + std::to_string(kMostJournalBytes / pageBytes));
    writer_->execute("PRAGMA journal_size_limit=" + std::to_string(kMostJournalBytes));
    queued_.reserve(kMostQueued);
    writerThread_ = std::thread([this] { writerLoop(); });
}

std::unique_ptr<TWScanCache::Reader> TWScanCache::makeReader(tw::SqliteDatabase database) const {
    auto reader = std::make_unique<Reader>(std::move(database));
    // Small page caches, and no mapping of the file: a scan's memory grows with the
    // files it keeps, not with the cache of every file it ever met.
    reader->database.execute("PRAGMA cache_size=" + std::to_string(-kReaderCacheKiB));
    const std::string columns = "SELECT device, inode, size, mtime, ctime, seen, ";
    const std::string where = " FROM files WHERE key=?1";
    reader->recallFile = reader->database.prepare(columns + "hash, digest" + where);
    reader->recallHistogram = reader->database.prepare(columns + "width, height, histogram" + where);
    reader->recallLook = reader->database.prepare(columns + "width, height, look" + where);
    return reader;
}

TWScanCache::Reader* TWScanCache::readerOfThisThread() {
    if (readerMemo.session == id_) return static_cast<Reader*>(readerMemo.reader);
    std::unique_ptr<Reader> reader;
    {
        std::lock_guard lock(readersMutex_);
        reader = std::move(spare_);
    }
    if (!reader && !damaged_.load()) {
        Opened opened = openDatabase(path_, false);
        if (opened.database) {
            reader = makeReader(std::move(*opened.database));
        } else {
            noteFailure(opened.damaged ? SQLITE_CORRUPT : SQLITE_CANTOPEN, "read", opened.error);
        }
    }
    // A thread whose reader could not be opened asks no more in this session.
    readerMemo = {id_, reader.get()};
    if (reader) {
        std::lock_guard lock(readersMutex_);
        readers_.push_back(std::move(reader));
    }
    return static_cast<Reader*>(readerMemo.reader);
}

TWScanCache::~TWScanCache() {
    finish();
}

bool TWScanCache::settled(const Stamp& stamp) const {
    // Every stamp is taken after the session began, so a later change must move it.
    return stamp.isSettledAt(settleClockNs_);
}

namespace {

int64_t keyOfParts(std::string_view folder, std::string_view name) {
    const uint64_t folderHash = XXH3_64bits(folder.data(), folder.size());
    const uint64_t nameHash = XXH3_64bits(name.data(), name.size());
    return static_cast<int64_t>((folderHash & ~uint64_t{0xFFFFFF}) | (nameHash & 0xFFFFFF));
}

}  // namespace

TWScanCache::Key TWScanCache::Key::of(std::string_view path) {
    const size_t name = TWRecordPath::nameStart(path);
    return Key{keyOfParts(path.substr(0, name), path.substr(name))};
}

TWScanCache::Key TWScanCache::Key::of(const TWRecordPath& path) {
    return Key{keyOfParts(path.folder(), path.name())};
}

bool TWScanCache::served(Reader& reader, tw::SqliteStatement& statement, const Stamp& stamp, const Key& key) {
    if (!statement.isValid() || damaged_.load()) return false;
    // Look-ups share read transactions: each one of its own took and dropped the
    // file's locks, several system calls a file.
    if (reader.readsInTransaction >= kReadsPerTransaction) {
        reader.database.execute("COMMIT");
        reader.readsInTransaction = 0;
    }
    if (reader.readsInTransaction++ == 0) reader.database.execute("BEGIN");
    statement.reset();
    statement.bind(1, key.value);
    const tw::SqliteStatement::Step step = statement.step();
    if (step == tw::SqliteStatement::Step::Error) {
        noteFailure(statement.errorCode(), "read", reader.database.error());
        return false;
    }
    if (step != tw::SqliteStatement::Step::Row) return false;
    if (statement.integer(kDevice) != static_cast<int64_t>(stamp.device) ||
        statement.integer(kInode) != static_cast<int64_t>(stamp.inode) ||
        static_cast<uint64_t>(statement.integer(kSize)) != stamp.size ||
        statement.integer(kModify) != stamp.modifyTimeNs || statement.integer(kChange) != stamp.changeTimeNs) {
        statement.reset();  // ends the read at once
        return false;
    }
    if (statement.integer(kSeen) < today_ - kMarkSeenAfterDays)
        queue(Entry{key, stamp, {}, {}, 0, nullptr});  // seen again today
    served_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

namespace {

template <typename T>
std::optional<T> blobAs(const tw::SqliteStatement& statement, int column) {
    size_t size = 0;
    const uint8_t* data = statement.blob(column, size);
    if (!data || size != sizeof(T)) return std::nullopt;
    T value;
    std::memcpy(&value, data, sizeof(T));
    return value;
}

}  // namespace

bool TWScanCache::recall(TWFileUtility& record) {
    const std::optional<Stamp> stamp = stampOf(record);
    if (!stamp || beganEmpty_) return false;
    Reader* reader = readerOfThisThread();
    if (!reader || !served(*reader, reader->recallFile, *stamp, Key::of(record.recordPath()))) return false;
    const std::optional<TWMD5> hash = blobAs<TWMD5>(reader->recallFile, kFirstValue);
    const std::optional<TWContentDigest> digest = blobAs<TWContentDigest>(reader->recallFile, kFirstValue + 1);
    reader->recallFile.reset();
    if (!hash && !digest) return false;
    record.adoptRememberedValues(hash, digest);
    return true;
}

std::optional<TWMD5> TWScanCache::recallHash(const Stamp& stamp, const std::string& path,
                                             std::optional<TWContentDigest>* digest) {
    if (beganEmpty_) return std::nullopt;
    Reader* reader = readerOfThisThread();
    if (!reader || !served(*reader, reader->recallFile, stamp, Key::of(path))) return std::nullopt;
    std::optional<TWMD5> hash = blobAs<TWMD5>(reader->recallFile, kFirstValue);
    if (digest) *digest = hash ? blobAs<TWContentDigest>(reader->recallFile, kFirstValue + 1) : std::nullopt;
    reader->recallFile.reset();
    return hash;
}

std::optional<TWScanCache::Picture> TWScanCache::recallPicture(const Stamp& stamp, const std::string& path,
                                                               Signature kind) {
    if (beganEmpty_) return std::nullopt;
    Reader* reader = readerOfThisThread();
    if (!reader) return std::nullopt;
    tw::SqliteStatement& statement = kind == Signature::Look ? reader->recallLook : reader->recallHistogram;
    if (!served(*reader, statement, stamp, Key::of(path))) return std::nullopt;
    std::optional<Picture> picture;
    size_t size = 0;
    const uint8_t* bytes = statement.blob(kFirstValue + 2, size);
    if (bytes && size > 0 && !statement.isNull(kFirstValue)) {
        picture.emplace();
        picture->resolution =
            TWSize{double(statement.integer(kFirstValue)), double(statement.integer(kFirstValue + 1))};
        picture->bytes.assign(bytes, bytes + size);
    }
    statement.reset();
    return picture;
}

void TWScanCache::remember(TWFileUtility& record) {
    const std::optional<Stamp> stamp = stampOf(record);
    if (!stamp || !settled(*stamp)) return;
    std::optional<TWMD5> hash;
    std::optional<TWContentDigest> digest;
    record.takeValuesToRemember(hash, digest);
    if (hash) {
        const std::string path = record.filePath();
        if (*hash == TWHashUtility::md5OfData(path.data(), path.size())) hash.reset();
    }
    if (!hash && !digest) return;
    Entry entry{Key::of(record.recordPath()),       *stamp, hash.value_or(TWMD5{}),
                digest.value_or(TWContentDigest{}), 0,      nullptr};
    entry.holds = (hash ? Entry::kHash : 0) | (digest ? Entry::kDigest : 0);
    queue(std::move(entry));
}

void TWScanCache::rememberHash(const Stamp& stamp, const TWMD5& hash, const std::string& path,
                               const std::optional<TWContentDigest>& digest) {
    if (!settled(stamp) || hash == TWHashUtility::md5OfData(path.data(), path.size())) return;
    queue(Entry{Key::of(path), stamp, hash, digest.value_or(TWContentDigest{}),
                static_cast<uint8_t>(Entry::kHash | (digest ? Entry::kDigest : 0)), nullptr});
}

void TWScanCache::rememberPicture(const Stamp& stamp, const std::string& path, Signature kind, const Picture& picture) {
    if (!settled(stamp) || picture.bytes.empty()) return;
    queue(Entry{Key::of(path),
                stamp,
                {},
                {},
                kind == Signature::Look ? Entry::kLook : Entry::kHistogram,
                std::make_unique<Picture>(picture)});
}

void TWScanCache::queue(Entry entry) {
    std::lock_guard lock(queueMutex_);
    if (finishing_ || damaged_.load()) return;
    if (queued_.size() >= kMostQueued) {
        if (!dropLogged_) tw::log("The file cache %s is busy: some of this scan is not kept.", path_.c_str());
        dropLogged_ = true;
        return;
    }
    queued_.push_back(std::move(entry));
    if (queued_.size() >= kBatch) queueChanged_.notify_one();
}

void TWScanCache::writerLoop() {
    // The two vectors trade places: each keeps its room, so that a scan does not fault
    // in fresh pages (zeroed by the kernel) for every batch.
    std::vector<Entry> batch;
    batch.reserve(kMostQueued);
    std::vector<uint32_t> order;
    for (;;) {
        {
            std::unique_lock lock(queueMutex_);
            queueChanged_.wait(
                lock, [this] { return finishing_ || queued_.size() >= kBatch || (writeNow_ && !queued_.empty()); });
            writeNow_ = false;
            batch.swap(queued_);
            if (batch.empty() && finishing_) break;
        }
        if (!damaged_.load()) {
            // In key order, so that the batch dirties each page of the table once (a
            // folder's entries lie together). In the order queued it went from page to
            // page, more pages than the writer's page cache holds, and SQLite wrote pages
            // out and read them back (a first scan of 200,000 files: 254,000 writes and
            // 297,000 reads of the cache file). Of two entries of one file, the later
            // still comes last.
            order.resize(batch.size());
            std::iota(order.begin(), order.end(), 0u);
            std::sort(order.begin(), order.end(), [&batch](uint32_t a, uint32_t b) {
                const Key& x = batch[a].key;
                const Key& y = batch[b].key;
                return std::tie(x.value, a) < std::tie(y.value, b);
            });
            mergeSameFiles(batch, order);
            writeBatch(batch, order);
        }
        batch.clear();
    }
    // The readers' transactions are closed by now (endRemembering). Another process's
    // readers may keep part of the journal from being copied: that part is copied by
    // whichever session ends next.
    if (!damaged_.load() && written_.load() > 0) writer_->execute("PRAGMA wal_checkpoint(PASSIVE)");
}

namespace {

// Stores an entry; a row of the same stamp keeps the values the entry does not bring,
// a row of another stamp (the file changed) loses them.
std::string upsertSql() {
    const std::string same =
        "(device = excluded.device AND inode = excluded.inode AND size = excluded.size AND mtime = excluded.mtime"
        " AND ctime = excluded.ctime)";
    std::string sql =
        "INSERT INTO files(key, device, inode, size, mtime, ctime, seen, hash, digest, width, height, histogram,"
        " look) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13) ON CONFLICT(key) DO UPDATE SET ";
    for (const char* column : {"hash", "digest", "width", "height", "histogram", "look"}) {
        const std::string name = column;
        sql += name + " = CASE WHEN " + same + " THEN coalesce(excluded." + name + ", " + name + ") ELSE excluded." +
               name + " END, ";
    }
    return sql +
           "device = excluded.device, inode = excluded.inode, size = excluded.size, mtime = excluded.mtime,"
           " ctime = excluded.ctime, seen = excluded.seen";
}

}  // namespace

void TWScanCache::mergeSameFiles(std::vector<Entry>& batch, std::vector<uint32_t>& order) {
    // A file compared in full comes twice: its hash when it was sampled, its digest
    // later. One row is written for both (about a tenth of a first scan's entries).
    size_t kept = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (kept > 0 && batch[order[kept - 1]].key == batch[order[i]].key &&
            batch[order[kept - 1]].stamp == batch[order[i]].stamp) {
            Entry& earlier = batch[order[kept - 1]];
            Entry& later = batch[order[i]];
            if (!(later.holds & Entry::kHash) && (earlier.holds & Entry::kHash)) later.hash = earlier.hash;
            if (!(later.holds & Entry::kDigest) && (earlier.holds & Entry::kDigest)) later.digest = earlier.digest;
            if (!later.picture && earlier.picture) {
                later.picture = std::move(earlier.picture);
                later.holds |= earlier.holds & (Entry::kHistogram | Entry::kLook);
            }
            later.holds |= earlier.holds & (Entry::kHash | Entry::kDigest);
            order[kept - 1] = order[i];
        } else {
            order[kept++] = order[i];
        }
    }
    order.resize(kept);
}

bool TWScanCache::writeBatch(const std::vector<Entry>& batch, const std::vector<uint32_t>& order) {
    tw::SqliteDatabase& db = *writer_;
    if (!upsert_.isValid()) upsert_ = db.prepare(upsertSql());
    tw::SqliteStatement& upsert = upsert_;
    if (!upsert.isValid() || !db.execute("BEGIN IMMEDIATE")) {
        noteFailure(db.errorCode(), "write", db.error());
        return false;
    }
    for (const uint32_t at : order) {
        const Entry& entry = batch[at];
        upsert.reset();
        upsert.bind(1, entry.key.value);
        upsert.bind(2, static_cast<int64_t>(entry.stamp.device));
        upsert.bind(3, static_cast<int64_t>(entry.stamp.inode));
        upsert.bind(4, static_cast<int64_t>(entry.stamp.size));
        upsert.bind(5, entry.stamp.modifyTimeNs);
        upsert.bind(6, entry.stamp.changeTimeNs);
        upsert.bind(7, today_);
        if (entry.holds & Entry::kHash) upsert.bindBlob(8, entry.hash.data(), entry.hash.size());
        if (entry.holds & Entry::kDigest) upsert.bindBlob(9, &entry.digest, sizeof(TWContentDigest));
        if (entry.picture) {
            upsert.bind(10, static_cast<int64_t>(entry.picture->resolution.width));
            upsert.bind(11, static_cast<int64_t>(entry.picture->resolution.height));
            upsert.bindBlob(entry.holds & Entry::kLook ? 13 : 12, entry.picture->bytes.data(),
                            entry.picture->bytes.size());
        }
        if (upsert.step() == tw::SqliteStatement::Step::Error) {
            noteFailure(upsert.errorCode(), "write", db.error());
            db.execute("ROLLBACK");
            return false;
        }
    }
    if (!db.execute("COMMIT")) {
        noteFailure(db.errorCode(), "write", db.error());
        db.execute("ROLLBACK");
        return false;
    }
    written_.fetch_add(order.size());
    return true;
}

void TWScanCache::noteFailure(int code, const char* what, const std::string& message) {
    if (isDamage(code)) {
        damaged_.store(true);
        return;
    }
    if (!failed_.exchange(true))
        tw::log("The file cache %s could not be %s (%s): this scan goes on without it.", path_.c_str(),
                std::strcmp(what, "read") == 0 ? "read" : "written", message.c_str());
}

void TWScanCache::writeQueued() {
    {
        std::lock_guard lock(queueMutex_);
        writeNow_ = true;
    }
    queueChanged_.notify_one();
}

void TWScanCache::endRemembering() {
    {
        // Before the writer's last copy of the journal into the file, which a reader's
        // open transaction would hold back.
        std::lock_guard lock(readersMutex_);
        for (const auto& reader : readers_) {
            if (reader->readsInTransaction > 0) reader->database.execute("COMMIT");
            reader->readsInTransaction = 0;
        }
    }
    {
        std::lock_guard lock(queueMutex_);
        if (finishing_) return;
        finishing_ = true;
    }
    queueChanged_.notify_all();
}

void TWScanCache::finish() {
    if (finished_) return;
    finished_ = true;
    endRemembering();
    if (writerThread_.joinable()) writerThread_.join();
    if (damaged_.load()) setAsideIfDamaged();
}

void TWScanCache::setAsideIfDamaged() {
    {
        std::lock_guard lock(readersMutex_);
        spare_.reset();
        readers_.clear();
    }
    upsert_ = {};
    writer_.reset();
    auto lock = lockCache(path_);
    struct stat st {};
    // Another process may have set it aside and begun anew already: that file stays.
    if (::stat(path_.c_str(), &st) != 0 || st.st_dev != fileDevice_ || st.st_ino != fileInode_) return;
    setAside(path_, "a page could not be read");
}

uint64_t TWScanCache::numberServed() const {
    return served_.load();
}

uint64_t TWScanCache::numberWritten() const {
    return written_.load();
}
