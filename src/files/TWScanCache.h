#pragma once
// What scans learned about files, kept for the next scan: the sampled hash, the whole
// content's digest, and for pictures their signature (colour histogram or look, as
// bytes) with the resolution. One SQLite file for every process of the user
// ($XDG_CACHE_HOME/twinsift/cache.sqlite3), in WAL mode, so that the app and several
// command-line scans read and write it at once.
//
// An entry is found by the file's path (its folder's and its name, hashed: the entries
// of one folder lie together, so that a walk's look-ups of a folder's files read one
// page of the file); what is kept of it is served only while the file's stamp
// (TWFileStamp: device, inode, size, modification and change times in nanoseconds) is
// the one it had when the values were kept. A file whose stamp has not settled when the
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
// read through a connection of the calling thread's own, remember* only queue.
// endRemembering() and finish() (or the destructor) must not race with other calls.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "files/TWFileStamp.h"
#include "files/TWFileUtility.h"
#include "files/TWImage.h"
#include "platform/SqliteDatabase.h"

class TWScanCache {
public:
    static constexpr int kForgetAfterDays = 90;
    // An entry served is marked seen again only when its mark is this old: a rescan the
    // next day would otherwise rewrite every entry it was served, as much writing as
    // the first scan's. Entries in use are still never forgotten.
    static constexpr int kMarkSeenAfterDays = 30;
    static_assert(kMarkSeenAfterDays < kForgetAfterDays);
    // Entries queued before the writer takes them. A transaction writes each page it
    // changed once, and a batch of entries hashed all over the tree changes most pages
    // of the table: the pages written grow with the square of the files over the batch.
    // In a first scan of 200,000 files, 1,024 entries a transaction wrote 2.3 times the
    // pages 8,192 did, and 8,192 wrote 172 MB to the disk where 16,384 write 110 MB (and
    // the scan takes 4 % less time). Beyond kMostQueued (about 3.4 MB, and as
    // much again in the writer's hands), while the writer is held up (another process
    // writing, a busy machine), new ones are dropped rather than held in memory.
    static constexpr size_t kBatch = 16384;
    static constexpr size_t kMostQueued = 32768;
    // The journal is copied into the file once it holds this many bytes, and the
    // journal file is cut back to as many.
    static constexpr int64_t kMostJournalBytes = int64_t{32} << 20;

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
    // The hash kept for the file at `path` of this stamp; `digest`, when given, gets the
    // digest kept with it (none when none is).
    std::optional<TWMD5> recallHash(const Stamp& stamp, const std::string& path,
                                    std::optional<TWContentDigest>* digest = nullptr);
    std::optional<Picture> recallPicture(const Stamp& stamp, const std::string& path, Signature kind);

    // Queues what the record learned since it was recalled or last remembered. The
    // record's stamp must have been taken after the session began (the settling rule
    // counts on it). A hash that stands for the path (a file that could not be read)
    // is never kept.
    void remember(TWFileUtility& record);
    // A hash read without a record, with the digest read along with it when there is one.
    void rememberHash(const Stamp& stamp, const TWMD5& hash, const std::string& path,
                      const std::optional<TWContentDigest>& digest = std::nullopt);
    void rememberPicture(const Stamp& stamp, const std::string& path, Signature kind, const Picture& picture);

    // Lets the writer write what is queued now, without waiting for a full batch: when
    // the walks end, it writes while the scan gathers its groups (and what that
    // gathering hands over follows in a last, smaller batch).
    void writeQueued();
    // Lets the writer write everything queued and end, without waiting for it, once
    // nothing will be looked up or remembered any more: a scan sorts its results
    // meanwhile. Later remember* calls are dropped; recall* must not be called again.
    void endRemembering();
    // endRemembering(), then waits for the writer. Later remember* calls are dropped.
    void finish();

    // For tests: entries served, and entries written, by this session.
    uint64_t numberServed() const;
    uint64_t numberWritten() const;

private:
    // Where the entry of the file at a path lies: 40 bits of its folder's path hashed,
    // then 24 of its name's, so that the entries of a folder lie side by side. Two paths
    // of one key (within a folder of n files, a chance of about n^2 / 2^25) share an
    // entry, which the stamp still keeps from serving the wrong file.
    struct Key {
        int64_t value = 0;
        bool operator==(const Key&) const = default;
        static Key of(std::string_view path);
        // The same key, of a path in its two parts.
        static Key of(const TWRecordPath& path);
    };
    // What a file brings to be kept: 104 bytes for a hash and a digest, the rare picture
    // signature behind a pointer.
    struct Entry {
        enum : uint8_t { kHash = 1, kDigest = 2, kHistogram = 4, kLook = 8 };
        Key key;
        Stamp stamp;
        TWMD5 hash{};
        TWContentDigest digest{};
        uint8_t holds = 0;  // of the flags above; none: seen again, nothing new
        std::unique_ptr<Picture> picture;
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
    // Folds the entries of one file (of the same key and stamp), `order` sorted by key,
    // into the last of them; `order` keeps the others out.
    static void mergeSameFiles(std::vector<Entry>& batch, std::vector<uint32_t>& order);
    // Writes the batch in key order (`order` holds the entries' positions).
    bool writeBatch(const std::vector<Entry>& batch, const std::vector<uint32_t>& order);
    // A connection of the calling thread's own: look-ups of several walkers never wait
    // for each other (one that misses SQLite's page cache reads the file while it holds
    // its connection). Made on the thread's first look-up; null when it cannot be opened.
    struct Reader {
        explicit Reader(tw::SqliteDatabase opened) : database(std::move(opened)) {}
        tw::SqliteDatabase database;
        tw::SqliteStatement recallFile;
        tw::SqliteStatement recallHistogram;
        tw::SqliteStatement recallLook;
        int readsInTransaction = 0;  // look-ups in the connection's open transaction
    };
    Reader* readerOfThisThread();
    std::unique_ptr<Reader> makeReader(tw::SqliteDatabase database) const;
    // Served values: the entry's stamp and last day seen are checked, and an entry last
    // marked seen kMarkSeenAfterDays ago or earlier is queued to be seen today. On the
    // reader's own thread.
    bool served(Reader& reader, tw::SqliteStatement& statement, const Stamp& stamp, const Key& key);
    // Called with a SQLite result code: damage stops the session's use of the file.
    void noteFailure(int code, const char* what, const std::string& message);
    // Moves the damaged file aside unless another process already did.
    void setAsideIfDamaged();

    const std::string path_;
    const int64_t settleClockNs_;  // the file clock when the session began
    const int64_t today_;
    dev_t fileDevice_ = 0;  // of the cache file this session opened
    ino_t fileInode_ = 0;

    const uint64_t id_;  // tells this session's readers apart in the threads' memo
    std::mutex readersMutex_;
    std::unique_ptr<Reader> spare_;                 // opened with the session, for the first thread
    std::vector<std::unique_ptr<Reader>> readers_;  // of the threads that asked
    std::atomic<uint64_t> served_{0};
    // The cache held no entry when the session began: nothing is looked up (a first
    // scan asks once a file for what cannot be there). Another process may write
    // meanwhile; this session only misses what it could have been served.
    bool beganEmpty_ = false;
    static constexpr int kReadsPerTransaction = 4096;
    // Each reader's page cache holds the tree's inner pages; a scan's look-ups go
    // through the leaves of its folders' entries once.
    static constexpr int kReaderCacheKiB = 512;
    static constexpr int kWriterCacheKiB = 512;

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::vector<Entry> queued_;  // its room kept between batches: no page is faulted in twice
    bool finishing_ = false;
    bool writeNow_ = false;  // the next batch is taken however small
    bool finished_ = false;  // of finish(), on the caller's thread
    bool dropLogged_ = false;
    std::optional<tw::SqliteDatabase> writer_;  // used by the writer thread alone
    tw::SqliteStatement upsert_;                // of writer_
    std::thread writerThread_;
    std::atomic<uint64_t> written_{0};
    std::atomic<bool> damaged_{false};
    std::atomic<bool> failed_{false};  // logged once
};
