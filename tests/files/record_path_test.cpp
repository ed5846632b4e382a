// A record's path kept as a shared folder part and a name of its own.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "files/TWRecordPath.h"

namespace {

TEST(RecordPath, GivesBackTheVeryTextItWasMadeFrom) {
    const std::vector<std::string> paths = {
        "/home/ann/Documents/report.pdf",
        "relative/name.txt",
        "alone",
        "/folder/ends/in/slash/",
        "/",
        "",
        "//doubled//slashes//x",
        std::string("/\xff\xfe bytes/\x80\x81 not utf-8"),
        std::string("/with\0nul/inside", 16),
    };
    for (const std::string& text : paths) {
        const TWRecordPath path(text);
        EXPECT_EQ(path.str(), text);
        EXPECT_EQ(path.size(), text.size());
        EXPECT_EQ(path.empty(), text.empty());
        EXPECT_TRUE(path == std::string_view(text));
        const size_t slash = text.rfind('/');
        const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
        EXPECT_EQ(path.folder(), std::string_view(text).substr(0, nameAt)) << text;
        EXPECT_EQ(path.name(), std::string_view(text).substr(nameAt)) << text;

        TWRecordPath copy = path;
        TWRecordPath moved = std::move(copy);
        EXPECT_EQ(moved.str(), text);
        EXPECT_TRUE(moved == path);
        TWRecordPath assigned;
        assigned = moved;
        EXPECT_EQ(assigned.str(), text);
    }
    EXPECT_FALSE(TWRecordPath("/a/b") == std::string_view("/a/bc"));
    EXPECT_FALSE(TWRecordPath("/a/b") == std::string_view("/ab"));
    EXPECT_FALSE(TWRecordPath("/a/b") == TWRecordPath("/a/c"));
    EXPECT_TRUE(TWRecordPath("/x/a/b") == TWRecordPath(TWRecordPath::ofFolder("/x/a/"), "b"));
}

TEST(RecordPath, PathsOfOneFolderShareItsPart) {
    const TWRecordPath first("/photos/2019/a.jpg");
    const TWRecordPath second("/photos/2019/b.jpg");
    EXPECT_TRUE(first.sharesFolderWith(second));
    const TWRecordPath elsewhere("/photos/2020/a.jpg");
    EXPECT_FALSE(elsewhere.sharesFolderWith(first));
    // A path of the earlier folder made after another folder's is still equal to its
    // text, shared or not.
    const TWRecordPath again("/photos/2019/c.jpg");
    EXPECT_EQ(again.str(), "/photos/2019/c.jpg");

    const TWRecordPath folder = TWRecordPath::ofFolder("/kept/folder/");
    const TWRecordPath inside(folder, "name");
    EXPECT_EQ(inside.str(), "/kept/folder/name");
    EXPECT_TRUE(inside.sharesFolderWith(folder));
    EXPECT_TRUE(TWRecordPath(folder, "other").sharesFolderWith(inside));
}

TEST(RecordPath, SharedPartsOutliveTheirMakersOnEveryThread) {
    // Paths made, copied and dropped on several threads at once, some sharing one part
    // made elsewhere: every one keeps its text to the end (run under the sanitizers,
    // a count gone wrong shows as a use after free or a leak).
    const TWRecordPath folder = TWRecordPath::ofFolder("/shared/by/all/");
    std::vector<std::vector<TWRecordPath>> kept(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < kept.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const std::string name = "f" + std::to_string(i);
                TWRecordPath own("/thread/" + std::to_string(t) + "/" + std::to_string(i % 7) + "/" + name);
                TWRecordPath shared(folder, name);
                TWRecordPath copy = shared;
                if (i % 3 == 0) kept[t].push_back(copy);
                kept[t].push_back(std::move(own));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (size_t t = 0; t < kept.size(); ++t) {
        size_t own = 0;
        for (const TWRecordPath& path : kept[t]) {
            const std::string text = path.str();
            if (path.sharesFolderWith(folder)) {
                EXPECT_EQ(text.rfind("/shared/by/all/f", 0), 0u) << text;
            } else {
                const int i = static_cast<int>(own++);
                EXPECT_EQ(text,
                          "/thread/" + std::to_string(t) + "/" + std::to_string(i % 7) + "/f" + std::to_string(i));
            }
        }
        EXPECT_EQ(own, 2000u);
    }
}

}  // namespace
