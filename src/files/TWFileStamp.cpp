#include "files/TWFileStamp.h"

#include <time.h>

namespace {

int64_t nanosecondsOf(const struct timespec& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

TWFileStamp TWFileStamp::of(const struct stat& st) {
    return TWFileStamp{st.st_dev,
                       st.st_ino,
                       static_cast<uint64_t>(st.st_size),
                       nanosecondsOf(st.st_mtim),
                       nanosecondsOf(st.st_ctim),
                       static_cast<mode_t>(st.st_mode & S_IFMT)};
}

std::optional<TWFileStamp> TWFileStamp::ofPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return of(st);
}

bool TWFileStamp::isAsScanned(const TWFileUtility& record, const TWFileStamp& now) {
    if (!record.hasIdentity()) return false;
    if (now.device != record.device() || now.inode != record.inode()) return false;
    if (now.modifyTimeNs != record.modifyTimeNs() || now.changeTimeNs != record.changeTimeNs()) return false;
    return record.fileType() == TWFileTypePackage || now.size == record.fileSize();
}

int64_t TWFileStamp::fileClockNs() {
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return nanosecondsOf(ts);
}

int64_t TWFileStamp::tickOf(int64_t changeTimeNs) {
    constexpr int64_t kSecond = 1'000'000'000;
    const int64_t fraction = ((changeTimeNs % kSecond) + kSecond) % kSecond;
    if (fraction == 0) return 2 * kSecond;  // whole seconds, or FAT's two
    int64_t tick = 1;
    while (fraction % (tick * 10) == 0) tick *= 10;
    return tick;
}

bool TWFileStamp::isSettledAt(int64_t clockNs) const {
    return changeTimeNs <= clockNs - tickOf(changeTimeNs);
}
