// The music library with the real Rhythmbox, in a desktop session of the test's own:
// songs are added through Rhythmbox's own command line, the command line scans with the
// music library included and removes, which starts Rhythmbox by D-Bus activation and
// gathers the checked song in its playlist; the playlist is then read back through
// Rhythmbox's own interface (its export), and the song files are still on disk.

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "CliRunner.h"
#include "DesktopSession.h"
#include "TestSupport.h"

using json = nlohmann::json;

namespace {

constexpr const char* kBus = "org.gnome.Rhythmbox3";
constexpr const char* kPlaylist = "Varnel Duplicate Media";

// A short mono WAV file whose samples are `seed`'s bytes (equal seeds, equal files).
std::string wavFile(unsigned seed) {
    const std::string samples = twtest::randomBytes(16000, seed);
    auto le = [](uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
        return out;
    };
    return "RIFF" + le(36 + samples.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
           le(16000, 4) + le(2, 2) + le(16, 2) + "data" + le(samples.size(), 4) + samples;
}

std::string uriOf(const std::string& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string result = uri ? uri : "";
    g_free(uri);
    return result;
}

// A method call to Rhythmbox that must not start it; null when it fails.
GVariant* callRhythmbox(GDBusConnection* bus, const char* path, const char* interface, const char* method,
                        GVariant* parameters) {
    return g_dbus_connection_call_sync(bus, kBus, path, interface, method, parameters, nullptr,
                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, 20000, nullptr, nullptr);
}

bool hasOwner(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", kBus),
                                                  nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

// Polls `condition` (an external process changes what it looks at) for at most `limit`.
bool eventually(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(180)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

// The groups of a scan's JSON (each a set of paths), and its files by path.
std::set<std::set<std::string>> groupsOf(const json& result, std::map<std::string, json>* files) {
    std::set<std::set<std::string>> groups;
    for (const auto& category : result["categories"])
        for (const auto& group : category["groups"]) {
            std::set<std::string> paths;
            for (const auto& file : group["files"]) {
                paths.insert(file["path"].get<std::string>());
                (*files)[file["path"].get<std::string>()] = file;
            }
            groups.insert(paths);
        }
    return groups;
}

// The paths an exported M3U playlist lists (relative ones resolved against its folder).
std::set<std::string> pathsIn(const std::string& playlist) {
    std::set<std::string> paths;
    std::ifstream in(playlist);
    const std::string folder = playlist.substr(0, playlist.rfind('/'));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("file://", 0) == 0) {
            gchar* path = g_filename_from_uri(line.c_str(), nullptr, nullptr);
            if (path) paths.insert(path);
            g_free(path);
        } else {
            paths.insert(line[0] == '/' ? line : folder + "/" + line);
        }
    }
    return paths;
}

TEST(RhythmboxEndToEnd, SongsAddedThroughRhythmboxAreFoundAndTheCheckedOneGatheredInItsPlaylist) {
    twtest::DesktopSession session({kBus});
    ASSERT_TRUE(session.ok()) << session.error();
    const twtest::TempDir& dir = session.dir();
    const std::string a = dir.write("home/Songs/a.wav", wavFile(1));
    const std::string aCopy = dir.write("home/Songs/a copy.wav", wavFile(1));
    const std::string b = dir.write("home/Songs/b.wav", wavFile(2));
    const std::string plainCopy = dir.write("home/Downloads/a again.wav", wavFile(1));
    auto bus = session.connect();

    // Rhythmbox's command line adds the songs (it starts Rhythmbox); its RhythmDB
    // interface tells when each is in the library.
    ASSERT_EQ(session.run({"rhythmbox-client", "--no-present", a, aCopy, b}, 180), 0)
        << twtest::readFile(dir / "session.log");
    for (const std::string& song : {a, aCopy, b})
        ASSERT_TRUE(eventually([&] {
            GVariant* entry =
                callRhythmbox(bus.get(), "/org/gnome/Rhythmbox3/RhythmDB", "org.gnome.Rhythmbox3.RhythmDB",
                              "GetEntryProperties", g_variant_new("(s)", uriOf(song).c_str()));
            if (entry) g_variant_unref(entry);
            return entry != nullptr;
        })) << song
            << " never reached Rhythmbox's library\n"
            << twtest::readFile(dir / "session.log");
    // Quitting saves the library to rhythmdb.xml, which the scan reads.
    ASSERT_EQ(session.run({"rhythmbox-client", "--quit"}, 60), 0);
    ASSERT_TRUE(eventually([&] { return !hasOwner(bus.get()); }));
    ASSERT_TRUE(twtest::exists(session.dataHome() + "/rhythmbox/rhythmdb.xml"));

    const std::vector<std::string> folders{dir / "home/Songs", dir / "home/Downloads"};
    std::vector<std::string> scan{"scan", "--json", "--quiet", "--music-library"};
    scan.insert(scan.end(), folders.begin(), folders.end());
    const twtest::CliResult scanned = twtest::runCli(scan, session.environment());
    ASSERT_EQ(scanned.exitStatus, 0) << scanned.err;
    EXPECT_NE(scanned.err.find("Including the Rhythmbox library"), std::string::npos) << scanned.err;
    std::map<std::string, json> files;
    // The library's copies are one group of library items; the plain copy is not walked
    // into it (another source), and is alone.
    EXPECT_EQ(groupsOf(json::parse(scanned.out), &files), (std::set<std::set<std::string>>{{a, aCopy}}));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[a]["library"], "Rhythmbox");
    EXPECT_EQ(files[aCopy]["library"], "Rhythmbox");
    const std::string checked = files[a]["checked"].get<bool>() ? a : aCopy;
    ASSERT_NE(files[a]["checked"].get<bool>(), files[aCopy]["checked"].get<bool>());

    // Removing starts Rhythmbox through the bus and gathers the checked song there.
    ASSERT_FALSE(hasOwner(bus.get()));
    std::vector<std::string> remove{"remove", "--yes", "--quiet", "--music-library"};
    remove.insert(remove.end(), folders.begin(), folders.end());
    const twtest::CliResult removed = twtest::runCli(remove, session.environment());
    ASSERT_EQ(removed.exitStatus, 0) << removed.out << removed.err;
    EXPECT_NE(removed.out.find("Twinsift added all Rhythmbox duplicates to the playlist Varnel Duplicate Media"),
              std::string::npos)
        << removed.out;
    for (const std::string& song : {a, aCopy, b, plainCopy}) EXPECT_TRUE(twtest::exists(song)) << song;

    // Rhythmbox's own interface: the playlist exists and holds exactly the checked song.
    ASSERT_TRUE(hasOwner(bus.get()));
    GVariant* playlists = callRhythmbox(bus.get(), "/org/gnome/Rhythmbox3/PlaylistManager",
                                        "org.gnome.Rhythmbox3.PlaylistManager", "GetPlaylists", nullptr);
    ASSERT_TRUE(playlists);
    const gchar** names = nullptr;
    g_variant_get(playlists, "(^a&s)", &names);
    int found = 0;
    for (int i = 0; names && names[i]; ++i) found += std::string(names[i]) == kPlaylist;
    g_free(names);
    g_variant_unref(playlists);
    EXPECT_EQ(found, 1);
    const std::string exported = dir / "exported.m3u";
    GVariant* exportReply =
        callRhythmbox(bus.get(), "/org/gnome/Rhythmbox3/PlaylistManager", "org.gnome.Rhythmbox3.PlaylistManager",
                      "ExportPlaylist", g_variant_new("(ssb)", kPlaylist, uriOf(exported).c_str(), TRUE));
    ASSERT_TRUE(exportReply);
    g_variant_unref(exportReply);
    ASSERT_TRUE(eventually([&] { return !pathsIn(exported).empty(); }, std::chrono::seconds(60)));
    EXPECT_EQ(pathsIn(exported), std::set<std::string>{checked});
    session.run({"rhythmbox-client", "--quit"}, 60);
}

}  // namespace
