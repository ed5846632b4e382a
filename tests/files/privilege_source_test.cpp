// A record's privilege comes from the installed source, asked on every call with the
// record's resolved path; without a source there is no grant.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "files/TWFileUtility.h"
#include "files/TWPrivilegeSource.h"

namespace {

class RecordingSource : public TWPrivilegeSource {
public:
    int64_t privilegeAtPath(const std::string& path) const override {
        asked.push_back(path);
        return answer;
    }
    int64_t answer = 0;
    mutable std::vector<std::string> asked;
};

// Installs a source for the life of the object, then puts the previous one back.
class ScopedSource {
public:
    explicit ScopedSource(const TWPrivilegeSource* source) : previous_(TWPrivilegeSource::install(source)) {}
    ~ScopedSource() { TWPrivilegeSource::install(previous_); }

private:
    const TWPrivilegeSource* previous_;
};

TEST(PrivilegeSource, RecordAsksTheInstalledSourceOnEveryCall) {
    twtest::TempDir dir;
    dir.write("real/a.txt", "x");
    dir.symlink(dir / "real", "alias");
    auto record = TWFileUtility::initWithPath(dir / "alias/a.txt");
    RecordingSource source;
    ScopedSource installed(&source);

    source.answer = 7;
    EXPECT_EQ(record->privilege(), 7);
    source.answer = 9;
    EXPECT_EQ(record->privilege(), 9);
    ASSERT_EQ(source.asked.size(), 2u);
    EXPECT_EQ(source.asked[0], record->filePath());
    EXPECT_EQ(source.asked[1], record->filePath());
    EXPECT_EQ(source.asked[0].find("/alias/"), std::string::npos);

    TWPrivilegeSource::install(nullptr);
    EXPECT_EQ(record->privilege(), -1);
}

}  // namespace
