#pragma once
// What scans learned about files, kept for the next scan: the sampled hash, the whole
// content's digest, and for pictures their signature (colour histogram or look, as
// bytes) with the resolution. One SQLite file for every process of the user
// ($XDG_CACHE_HOME/twinsift/cache.sqlite3), in WAL mode, so that the app and several
// command-line scans read and write it at once.
//
// A file is known by its device and inode; what is kept of it is served only while
// its stamp (TWFileStamp: size, modification and change times in nanoseconds) is the
// one it had when the values were kept. A file whose stamp has not settled when the
// session begins (TWFileStamp::isSettledAt) is not kept: a second change within the
// same tick of the file clock would leave its stamp unchanged.
//
// Nothing is loaded as a whole: each question is one look-up, and what a scan learns
// is written in batches by a writer thread of the session. Entries not seen for
// kForgetAfterDays days are dropped (at most once a day). A file that SQLite finds
// damaged is moved aside (to cache.sqlite3.damaged) and a new one is begun, with one
// log line; a session that meets damage later answers nothing more and sets the file
// aside when it closes. No failure of the cache fails a scan: it only makes it slower.
//
// Threading: one session per scan, used from any number of threads at once; recall*
// run under the session's reading lock, remember* only queue. finish() (or the
// destructor) writes what is queued and must not race with other calls.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "files/TWFileStamp.h"
#include "files/TWFileUtility.h"
#include "files/TWImage.h"
#include "platform/SqliteDatabase.h"

class TWScanCache {
public:
    static constexpr int kForgetAfterDays = 90;
    // Entries queued before the writer takes them; beyond kMostQueued (about 4 MB),
    // while the writer is held up (another process writing, a busy machine), new ones
    // are dropped rather than held in memory.
    static constexpr size_t kBatch = 1024;
    static constexpr size_t kMostQueued = 32 * kBatch;

    // What makes a kept value valid: the file's identity, size and times.
    using Stamp = TWFileStamp;
    // The stamp of a plain file record that has an identity; none for any other.
    static std::optional<Stamp> stampOf(const TWFileUtility& record);

    enum class Signature : uint8_t { Histogram, Look };
    struct Picture {
        TWSize resolution;
        std::vector<uint8_t> bytes;
    };

    // $XDG_CACHE_HOME/twinsift/cache.sqlite3, else ~/.cache/twinsift/cache.sqlite3.
    static std::string defaultPath();
    // A session on the file at `path` (its folder made when missing); null, logged,
    // when it cannot be opened or made.
    static std::unique_ptr<TWScanCache> open(const std::string& path = defaultPath());
    // Empties the cache at `path`: removes the file and its journal. False, with the
    // reason in `error`, when a file could not be removed.
    static bool clear(const std::string& path, std::string* error);

    ~TWScanCache();  // finish()
    TWScanCache(const TWScanCache&) = delete;
    TWScanCache& operator=(const TWScanCache&) = delete;

    // Gives the record the hash and digest kept for it; false when none is kept (or
    // none valid). Records that are no plain files are left alone.
    bool recall(TWFileUtility& record);
    // The hash kept for the file of this stamp.
    std::optional<TWMD5> recallHash(const Stamp& stamp);
    std::optional<Picture> recallPicture(const Stamp& stamp, Signature kind);

    // Queues what the record learned since it was recalled or last remembered. The
    // record's stamp must have been taken after the session began (the settling rule
    // counts on it). A hash that stands for the path (a file that could not be read)
    // is never kept.
    void remember(TWFileUtility& record);
    void rememberHash(const Stamp& stamp, const TWMD5& hash, const std::string& path);
    void rememberPicture(const Stamp& stamp, Signature kind, const Picture& picture);

    // Writes everything queued, then ends the writer. Later remember* calls are dropped.
    void finish();

    // For tests: entries served, and entries written, by this session.
    uint64_t numberServed() const;
    uint64_t numberWritten() const;

private:
    struct Entry {
        Stamp stamp;
        std::optional<TWMD5> hash;
        std::optional<TWContentDigest> digest;
        std::optional<Signature> kind;
        Picture picture;
    };
    struct PrivateTag {};

public:
    TWScanCache(PrivateTag, std::string path, tw::SqliteDatabase reader, tw::SqliteDatabase writer);

private:
    static bool prepareSchema(tw::SqliteDatabase& database);
    static void forgetOldEntries(tw::SqliteDatabase& database, int64_t today);
    // Whether a value of this stamp may be kept (its change time has settled).
    bool settled(const Stamp& stamp) const;
    void queue(Entry entry);
    void writerLoop();
    bool writeBatch(const std::vector<Entry>& batch);
    // Served values: the entry's stamp and last day seen are checked, and an entry last
    // seen before today is queued to be seen today. Under readMutex_.
    bool servedLocked(tw::SqliteStatement& statement, const Stamp& stamp);
    // Called with a SQLite result code: damage stops the session's use of the file.
    void noteFailure(int code, const char* what, const std::string& message);
    // Moves the damaged file aside unless another process already did.
    void setAsideIfDamaged();

    const std::string path_;
    const int64_t settleClockNs_;  // the file clock when the session began
    const int64_t today_;
    dev_t fileDevice_ = 0;  // of the cache file this session opened
    ino_t fileInode_ = 0;

    mutable std::mutex readMutex_;
    std::optional<tw::SqliteDatabase> reader_;
    tw::SqliteStatement recallFile_;
    tw::SqliteStatement recallHistogram_;
    tw::SqliteStatement recallLook_;
    uint64_t served_ = 0;
    static constexpr int kReadsPerTransaction = 4096;
    static constexpr int kReaderCacheKiB = 2048;
    static constexpr int kWriterCacheKiB = 512;
    int readsInTransaction_ = 0;  // look-ups in the reader's open transaction

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::vector<Entry> queued_;
    bool finishing_ = false;
    bool dropLogged_ = false;
    std::optional<tw::SqliteDatabase> writer_;  // used by the writer thread alone
    tw::SqliteStatement upsert_;                // of writer_
    std::thread writerThread_;
    std::atomic<uint64_t> written_{0};
    std::atomic<bool> damaged_{false};
    std::atomic<bool> failed_{false};  // logged once
};
