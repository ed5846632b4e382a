// The library backends on fixture libraries with the real schemas of the installed
// applications: what each reads (items and groups), what the clean-up writes (exactly
// the tags or playlist entries, after a backup, and nothing else), and when it refuses.

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <mutex>

#include "DigikamLibrary.h"
#include "GLibThread.h"
#include "LibraryFixtures.h"
#include "LinuxLibraries.h"
#include "PrivateBus.h"
#include "RhythmboxLibrary.h"
#include "ShotwellLibrary.h"
#include "SqliteDatabase.h"
#include "TWAppleScript.h"
#include "TWCleanMediaLibraryGuide.h"

namespace {

using twtest::rows;
using twtest::sql;

// Item identifiers of a group and, by name, of its children.
std::vector<std::string> idsOf(const tw::LibraryContent& content, const tw::LibraryGroupTree& group) {
    std::vector<std::string> ids;
    for (size_t index : group.items) ids.push_back(content.items[index].identifier);
    std::sort(ids.begin(), ids.end());
    return ids;
}

const tw::LibraryGroupTree* childNamed(const tw::LibraryGroupTree& group, const std::string& name) {
    for (const auto& child : group.children)
        if (child.name == name) return &child;
    return nullptr;
}

std::vector<std::string> backupsBeside(const std::string& database) {
    std::vector<std::string> found;
    const std::string folder = database.substr(0, database.rfind('/'));
    GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
    while (const char* name = dir ? g_dir_read_name(dir) : nullptr)
        if (std::string(name).find(".twinsift-backup-") != std::string::npos) found.push_back(folder + "/" + name);
    if (dir) g_dir_close(dir);
    return found;
}

class LibraryBackends : public ::testing::Test {
protected:
    twtest::ScopedLibraryHome home;
    twtest::PrivateBus bus;
    twtest::ScopedSessionBusAddress busAddress{bus.address()};
    std::vector<std::string> launched;  // applications the executor tried to start
    tw::LinuxLibraryScriptExecutor executor{std::chrono::seconds(2), [this](const std::string& name) {
                                                launched.push_back(name);
                                                return false;
                                            }};

    tw::ScriptExecutor::Result tagPhotos(const std::vector<std::string>& ids) {
        return executor.run(TWAppleScript::photosScript(ids, kTWDuplicateAlbumName, kTWDuplicateFolderName));
    }
};

// --- Shotwell ---

class Shotwell : public LibraryBackends {
protected:
    void SetUp() override {
        db = twtest::makeShotwellLibrary(home);
        ASSERT_FALSE(db.empty());
        photo1 = home.dir().write("pics/a.jpg", "a");
        photo2 = home.dir().write("pics/b.jpg", "b");
        trashed = home.dir().write("pics/t.jpg", "t");
        video1 = home.dir().write("pics/v.mp4", "v");
        sql(db,
            "INSERT INTO EventTable (id, name) VALUES (1, 'Trip'), (2, NULL);"
            "INSERT INTO PhotoTable (id, filename, filesize, event_id, flags) VALUES "
            "(1, '" +
                photo1 + "', 1, 1, 0), (2, '" + photo2 + "', 1, 2, 2), (3, '" + trashed +
                "', 1, 1, 4);"
                "INSERT INTO VideoTable (id, filename, filesize, event_id, flags) VALUES (1, '" +
                video1 +
                "', 1, 1, 0);"
                "INSERT INTO TagTable (name, photo_id_list) VALUES "
                "('Beach', 'thumb0000000000000001,'), ('/Family', 'thumb0000000000000002,video-0000000000000001,'),"
                "('/Family/Kids', 'thumb0000000000000002,video-0000000000000001,'),"
                "('/Family/Kids/Baby', 'video-0000000000000001,');");
    }
    std::string db, photo1, photo2, trashed, video1;
};

TEST_F(Shotwell, ItemsWithTheirEventsAndTagsThreeLevelsDeep) {
    EXPECT_FALSE(twtest::emptyShotwellDatabase().version.empty());
    const tw::LibraryContent content = tw::ShotwellLibrary(db).read();
    ASSERT_TRUE(content.ok()) << content.problem;
    // Photo and video rows share ids: the source ids tell them apart; the trashed photo is left out.
    EXPECT_EQ(idsOf(content, content.root),
              (std::vector<std::string>{"thumb0000000000000001", "thumb0000000000000002", "video-0000000000000001"}));
    ASSERT_TRUE(childNamed(content.root, "Trip"));
    EXPECT_EQ(idsOf(content, *childNamed(content.root, "Trip")),
              (std::vector<std::string>{"thumb0000000000000001", "video-0000000000000001"}));
    EXPECT_TRUE(childNamed(content.root, "Event 2"));
    EXPECT_EQ(idsOf(content, *childNamed(content.root, "Beach")), (std::vector<std::string>{"thumb0000000000000001"}));
    const auto* family = childNamed(content.root, "Family");
    ASSERT_TRUE(family);
    ASSERT_TRUE(childNamed(*family, "Kids"));
    // The third level holds what lies deeper: Baby's video is in Kids.
    EXPECT_TRUE(family->children.size() == 1 && family->children[0].children.empty());
    EXPECT_EQ(content.items[0].path, photo1);
}

TEST_F(Shotwell, TaggingWritesTheTwoTagsAfterABackupAndNothingElse) {
    sql(db, "INSERT INTO TagTable (name, photo_id_list) VALUES ('Varnel Duplicate Folder', 'thumb0000000000000002,');");
    const std::string before = twtest::dumpDatabase(db);
    const std::string untouched = twtest::dumpDatabase(db, {"TagTable"});
    const auto tagsBefore = rows(db, "SELECT id, name, photo_id_list FROM TagTable WHERE name NOT LIKE '%Varnel%'");

    auto result = tagPhotos({"thumb0000000000000001", "video-0000000000000001", "thumb00000000000000ff"});
    ASSERT_TRUE(result.compiled);
    ASSERT_FALSE(result.runError) << *result.runError;

    EXPECT_EQ(twtest::dumpDatabase(db, {"TagTable"}), untouched);
    EXPECT_EQ(rows(db, "SELECT id, name, photo_id_list FROM TagTable WHERE name NOT LIKE '%Varnel%'"), tagsBefore);
    // The flat tag of the folder's name became the parent; it keeps its item and holds
    // every item of its child; the unknown id is left out.
    EXPECT_EQ(rows(db, "SELECT name, photo_id_list FROM TagTable WHERE name LIKE '%Varnel%' ORDER BY name"),
              (std::vector<std::string>{
                  "/Varnel Duplicate Folder|thumb0000000000000002,thumb0000000000000001,video-0000000000000001,",
                  "/Varnel Duplicate Folder/Varnel Duplicate Album|thumb0000000000000001,video-0000000000000001,"}));
    const auto backups = backupsBeside(db);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(twtest::dumpDatabase(backups[0]), before);

    // A second run appends to both tags and makes a second backup.
    result = tagPhotos({"thumb0000000000000001"});
    ASSERT_FALSE(result.runError);
    EXPECT_EQ(rows(db,
                   "SELECT photo_id_list FROM TagTable WHERE name = '/Varnel Duplicate Folder/Varnel Duplicate "
                   "Album'"),
              (std::vector<std::string>{"thumb0000000000000001,video-0000000000000001,"}));
    EXPECT_EQ(backupsBeside(db).size(), 2u);
}

TEST_F(Shotwell, RefusedWhileShotwellRunsAndNewerSchemaLeftAlone) {
    auto shotwell = bus.connect();
    ASSERT_TRUE(twtest::PrivateBus::ownName(shotwell.get(), "org.gnome.Shotwell"));
    const std::string before = twtest::dumpDatabase(db);
    auto result = tagPhotos({"thumb0000000000000001"});
    ASSERT_TRUE(result.runError);
    EXPECT_NE(result.runError->find("Shotwell is running"), std::string::npos) << *result.runError;
    EXPECT_EQ(twtest::dumpDatabase(db), before);
    EXPECT_TRUE(backupsBeside(db).empty());
    shotwell.reset();

    sql(db, "UPDATE VersionTable SET schema_version = 99;");
    const std::string newer = twtest::dumpDatabase(db);
    const tw::LibraryContent content = tw::ShotwellLibrary(db).read();
    EXPECT_FALSE(content.ok());
    EXPECT_NE(content.problem.find("newer"), std::string::npos) << content.problem;
    EXPECT_TRUE(content.items.empty());
    EXPECT_TRUE(tw::ShotwellLibrary(db).addToTag({"thumb0000000000000001"}, "Folder", "Album").reason.find("newer") !=
                std::string::npos);
    EXPECT_EQ(twtest::dumpDatabase(db), newer);
    tw::LinuxMediaLibraryService service;
    auto libraries = service.librariesOf(MLMediaSourcePhotosIdentifier);
    ASSERT_TRUE(libraries && libraries->size() == 1u);
    EXPECT_EQ((*libraries)[0].name, "Shotwell");
    EXPECT_FALSE((*libraries)[0].problem.empty());
    EXPECT_TRUE(service.referencedFiles(MLMediaSourcePhotosIdentifier).empty());
}

TEST_F(Shotwell, TheLibraryAtTheChosenLocationIsReadAndTaggedInsteadOfTheDefaultOne) {
    const std::string other = home.dir().mkdir("Other/data") + "/photo.db";
    ASSERT_TRUE(tw::SqliteDatabase::openReadOnly(db).backupTo(other));
    sql(other, "DELETE FROM PhotoTable WHERE id <> 1; DELETE FROM VideoTable; DELETE FROM TagTable;");
    std::string chosen = home.dir() / "Other";
    auto chosenLocation = [&](const std::string& source) {
        return source == MLMediaSourcePhotosIdentifier ? chosen : std::string();
    };
    tw::LinuxMediaLibraryService service(chosenLocation);
    auto libraries = service.librariesOf(MLMediaSourcePhotosIdentifier);
    ASSERT_TRUE(libraries && libraries->size() == 1u);
    EXPECT_EQ((*libraries)[0].location, other);
    EXPECT_EQ(service.referencedFiles(MLMediaSourcePhotosIdentifier), std::vector<std::string>{photo1});

    const std::string defaultBefore = twtest::dumpDatabase(db);
    tw::LinuxLibraryScriptExecutor tagger(std::chrono::seconds(2), nullptr, chosenLocation);
    auto result = tagger.run(
        TWAppleScript::photosScript({"thumb0000000000000001"}, kTWDuplicateAlbumName, kTWDuplicateFolderName));
    ASSERT_FALSE(result.runError) << *result.runError;
    EXPECT_EQ(rows(other, "SELECT photo_id_list FROM TagTable WHERE name LIKE '%Varnel Duplicate Album'"),
              std::vector<std::string>{"thumb0000000000000001,"});
    EXPECT_EQ(backupsBeside(other).size(), 1u);
    EXPECT_EQ(twtest::dumpDatabase(db), defaultBefore);
    EXPECT_TRUE(backupsBeside(db).empty());

    // A chosen folder without a library is reported; the library found is still read.
    chosen = home.dir() / "pics";
    libraries = service.librariesOf(MLMediaSourcePhotosIdentifier);
    ASSERT_TRUE(libraries && libraries->size() == 2u);
    EXPECT_EQ((*libraries)[0].location, chosen);
    EXPECT_NE((*libraries)[0].problem.find("holds no Shotwell or digiKam library"), std::string::npos);
    EXPECT_EQ((*libraries)[1].location, db);
    EXPECT_TRUE((*libraries)[1].problem.empty());
}

// --- digiKam ---

class Digikam : public LibraryBackends {
protected:
    void SetUp() override {
        collection = home.dir().mkdir("Pictures");
        db = twtest::makeDigikamLibrary(home, collection);
        ASSERT_FALSE(db.empty());
        home.dir().write("Pictures/root.jpg", "r");
        home.dir().write("Pictures/2020/Trip/Day1/deep.jpg", "d");
        home.dir().write("Pictures/2020/top.jpg", "t");
        sql(db,
            "INSERT INTO AlbumRoots (id, label, status, type, identifier, specificPath) VALUES "
            "(1, 'Pictures', 0, 1, 'volumeid:?path=" +
                collection +
                "', '/'),"
                "(2, 'Gone', 0, 1, 'volumeid:?uuid=00000000-dead-beef-0000-000000000000', '/photos');"
                "INSERT INTO Albums (id, albumRoot, relativePath) VALUES (1, 1, '/'), (2, 1, '/2020'), "
                "(3, 1, '/2020/Trip/Day1'), (4, 2, '/');"
                "INSERT INTO Images (id, album, name, status, category) VALUES (1, 1, 'root.jpg', 1, 1), "
                "(2, 3, 'deep.jpg', 1, 1), (3, 2, 'top.jpg', 1, 1), (4, 2, 'hidden.jpg', 2, 1), (5, 4, 'x.jpg', 1, 1);"
                "INSERT INTO Tags (id, pid, name) VALUES (1, 0, 'People'), (2, 1, 'Ann'), (3, 0, "
                "'_Digikam_Internal_Tags_'), (4, 3, 'Color Label None');"
                "INSERT INTO ImageTags (imageid, tagid) VALUES (1, 2), (2, 4);");
    }
    std::string collection, db;
};

TEST_F(Digikam, ItemsWithAlbumsAndTagsFoldedIntoThreeLevels) {
    const tw::LibraryContent content = tw::DigikamLibrary(db).read();
    ASSERT_TRUE(content.ok()) << content.problem;
    // Hidden images and those of a collection not mounted here are left out.
    ASSERT_EQ(content.items.size(), 3u);
    EXPECT_EQ(content.items[1].path, collection + "/2020/Trip/Day1/deep.jpg");
    EXPECT_EQ(idsOf(content, content.root), (std::vector<std::string>{"digikam-image-1"}));
    const auto* year = childNamed(content.root, "2020");
    ASSERT_TRUE(year && childNamed(*year, "Trip"));
    EXPECT_EQ(idsOf(content, *year), (std::vector<std::string>{"digikam-image-3"}));
    EXPECT_EQ(idsOf(content, *childNamed(*year, "Trip")), (std::vector<std::string>{"digikam-image-2"}));
    ASSERT_TRUE(childNamed(content.root, "People") && childNamed(*childNamed(content.root, "People"), "Ann"));
    EXPECT_FALSE(childNamed(content.root, "_Digikam_Internal_Tags_"));
}

TEST_F(Digikam, TaggingWritesOneTagPairAndTheItemsAfterABackup) {
    const std::string before = twtest::dumpDatabase(db);
    const std::string untouched = twtest::dumpDatabase(db, {"Tags", "TagsTree", "ImageTags"});
    auto result = tagPhotos({"digikam-image-1", "digikam-image-2", "digikam-image-99"});
    ASSERT_FALSE(result.runError) << *result.runError;
    EXPECT_EQ(twtest::dumpDatabase(db, {"Tags", "TagsTree", "ImageTags"}), untouched);
    EXPECT_EQ(rows(db, "SELECT t.name, p.name FROM Tags t JOIN Tags p ON t.pid = p.id WHERE t.id > 4"),
              (std::vector<std::string>{"Varnel Duplicate Album|Varnel Duplicate Folder"}));
    EXPECT_EQ(rows(db, "SELECT pid, name FROM Tags WHERE id > 4 AND pid = 0"),
              (std::vector<std::string>{"0|Varnel Duplicate Folder"}));
    EXPECT_EQ(rows(db,
                   "SELECT i.imageid FROM ImageTags i JOIN Tags t ON i.tagid = t.id WHERE t.name = 'Varnel "
                   "Duplicate Album' ORDER BY 1"),
              (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(rows(db, "SELECT COUNT(*) FROM ImageTags").front(), "4");
    // digiKam's own trigger kept the ancestor table.
    EXPECT_EQ(rows(db, "SELECT COUNT(*) FROM TagsTree WHERE id > 4").front(), "3");
    const auto backups = backupsBeside(db);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(twtest::dumpDatabase(backups[0]), before);
}

TEST_F(Digikam, RefusedWhileAnyDigikamRunsAndUnknownSchemaLeftAlone) {
    auto digikam = bus.connect();
    ASSERT_TRUE(twtest::PrivateBus::ownName(digikam.get(), "org.kde.digikam-4242"));
    const std::string before = twtest::dumpDatabase(db);
    auto result = tagPhotos({"digikam-image-1"});
    ASSERT_TRUE(result.runError);
    EXPECT_NE(result.runError->find("digiKam is running"), std::string::npos) << *result.runError;
    EXPECT_EQ(twtest::dumpDatabase(db), before);
    EXPECT_TRUE(backupsBeside(db).empty());

    sql(db, "UPDATE Settings SET value = '99' WHERE keyword = 'DBVersion';");
    EXPECT_FALSE(tw::DigikamLibrary(db).read().ok());
    home.dir().write("config/digikamrc", "[Database Settings]\nDatabase Type=QMYSQL\nDatabase Name=digikam\n");
    auto libraries = tw::LinuxMediaLibraryService().librariesOf(MLMediaSourcePhotosIdentifier);
    ASSERT_TRUE(libraries && libraries->size() == 1u);
    EXPECT_NE((*libraries)[0].problem.find("MySQL"), std::string::npos);
}

// --- Rhythmbox ---

class Rhythmbox : public LibraryBackends {
protected:
    void SetUp() override {
        songA = home.dir().write("Music/a b.ogg", "a");
        songB = home.dir().write("Music/b.ogg", "b");
        uriA = "file://" + home.dir().path() + "/Music/a%20b.ogg";
        home.dir().write("data/rhythmbox/rhythmdb.xml",
                         "<?xml version=\"1.0\" standalone=\"yes\"?>\n<rhythmdb version=\"2.0\">\n"
                         "<entry type=\"song\"><title>A</title><location>" +
                             uriA +
                             "</location></entry>\n"
                             "<entry type=\"song\"><title>B</title><location>file://" +
                             songB +
                             "</location></entry>\n"
                             "<entry type=\"song\"><location>file:///gone.ogg</location><hidden>1</hidden></entry>\n"
                             "<entry type=\"iradio\"><location>http://radio.example/stream</location></entry>\n"
                             "<entry type=\"ignore\"><location>file://" +
                             home.dir().path() +
                             "/x.txt</location></entry>\n"
                             "</rhythmdb>\n");
        home.dir().write("data/rhythmbox/playlists.xml",
                         "<?xml version=\"1.0\"?>\n<rhythmdb-playlists>\n"
                         "<playlist name=\"Road\" show-browser=\"true\" type=\"static\"><location>" +
                             uriA +
                             "</location></playlist>\n"
                             "<playlist name=\"Recent\" type=\"automatic\"><conjunction/></playlist>\n"
                             "</rhythmdb-playlists>\n");
    }
    std::string songA, songB, uriA;
};

TEST_F(Rhythmbox, SongsAndStaticPlaylists) {
    const tw::LibraryContent content = tw::RhythmboxLibrary(home.dataHome() + "/rhythmbox").read();
    ASSERT_TRUE(content.ok()) << content.problem;
    ASSERT_EQ(content.items.size(), 2u);
    EXPECT_EQ(content.items[0].identifier, uriA);  // the location exactly as stored
    EXPECT_EQ(content.items[0].path, songA);
    ASSERT_EQ(content.root.children.size(), 1u);
    EXPECT_EQ(content.root.children[0].name, "Road");
    EXPECT_EQ(idsOf(content, content.root.children[0]), (std::vector<std::string>{uriA}));

    home.dir().write("data/rhythmbox/rhythmdb.xml", "<rhythmdb version=\"3.0\"></rhythmdb>");
    EXPECT_NE(tw::RhythmboxLibrary(home.dataHome() + "/rhythmbox").read().problem.find("3.0"), std::string::npos);
    home.dir().write("data/rhythmbox/rhythmdb.xml", "<rhythmdb version=\"2.0\"><entry");
    EXPECT_FALSE(tw::RhythmboxLibrary(home.dataHome() + "/rhythmbox").read().ok());
}

TEST_F(Rhythmbox, ARhythmboxFolderChosenElsewhereIsRead) {
    home.dir().write("Elsewhere/rhythmdb.xml", "<rhythmdb version=\"2.0\"><entry type=\"song\"><location>file://" +
                                                   songB + "</location></entry></rhythmdb>");
    std::string chosen = home.dir() / "Elsewhere/rhythmdb.xml";
    tw::LinuxMediaLibraryService service([&](const std::string&) { return chosen; });
    EXPECT_EQ(service.referencedFiles(MLMediaSourceiTunesIdentifier), std::vector<std::string>{songB});
    chosen = home.dir() / "Music";
    auto libraries = service.librariesOf(MLMediaSourceiTunesIdentifier);
    ASSERT_TRUE(libraries && libraries->size() == 2u);
    EXPECT_NE((*libraries)[0].problem.find("holds no Rhythmbox library"), std::string::npos);
    EXPECT_EQ((*libraries)[1].location, home.dataHome() + "/rhythmbox/rhythmdb.xml");
}

// Rhythmbox's playlist manager, as its D-Bus interface shows it: records every call.
class FakePlaylistManager {
public:
    explicit FakePlaylistManager(twtest::PrivateBus& bus) : connection_(bus.connect()) {
        tw::GLibThread::shared().invokeAndWait([this] {
            GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
            static const GDBusInterfaceVTable vtable{&FakePlaylistManager::onCall, nullptr, nullptr, {}};
            registration_ =
                g_dbus_connection_register_object(connection_.get(), tw::RhythmboxLibrary::kPlaylistManagerPath,
                                                  node->interfaces[0], &vtable, this, nullptr, nullptr);
            g_dbus_node_info_unref(node);
        });
        owned_ = twtest::PrivateBus::ownName(connection_.get(), tw::RhythmboxLibrary::kBusName);
    }
    ~FakePlaylistManager() {
        tw::GLibThread::shared().invokeAndWait(
            [this] { g_dbus_connection_unregister_object(connection_.get(), registration_); });
    }
    bool owned() const { return owned_; }
    std::vector<std::string> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::vector<std::string> playlists{"Road"};
    bool refuseAdds = false;

private:
    static constexpr const char* kIntrospection =
        "<node><interface name='org.gnome.Rhythmbox3.PlaylistManager'>"
        "<method name='GetPlaylists'><arg type='as' direction='out'/></method>"
        "<method name='CreatePlaylist'><arg type='s' direction='in'/></method>"
        "<method name='AddToPlaylist'><arg type='s' direction='in'/><arg type='s' direction='in'/></method>"
        "</interface></node>";

    static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<FakePlaylistManager*>(data);
        std::lock_guard<std::mutex> lock(self->mutex_);
        const std::string name = method;
        if (name == "GetPlaylists") {
            GVariantBuilder builder;
            g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
            for (const auto& playlist : self->playlists) g_variant_builder_add(&builder, "s", playlist.c_str());
            self->calls_.push_back("GetPlaylists");
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(as)", &builder));
            return;
        }
        gchar* text = g_variant_print(parameters, FALSE);
        self->calls_.push_back(name + " " + text);
        g_free(text);
        if (name == "CreatePlaylist") {
            const gchar* playlist = nullptr;
            g_variant_get(parameters, "(&s)", &playlist);
            self->playlists.push_back(playlist);
        }
        if (name == "AddToPlaylist" && self->refuseAdds) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.gnome.Rhythmbox3.Error", "no such playlist");
            return;
        }
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    twtest::PrivateBus::Connection connection_;
    guint registration_ = 0;
    bool owned_ = false;
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

TEST_F(Rhythmbox, PlaylistMadeOnceThroughItsInterfaceAndSongsAddedByLocation) {
    FakePlaylistManager rhythmbox(bus);
    ASSERT_TRUE(rhythmbox.owned());
    auto result = executor.run(TWAppleScript::iTunesScript({uriA, "file:///b.ogg"}, kTWDuplicatePlaylistName));
    ASSERT_FALSE(result.runError) << *result.runError;
    EXPECT_EQ(rhythmbox.calls(),
              (std::vector<std::string>{"GetPlaylists", "CreatePlaylist ('Varnel Duplicate Media',)",
                                        "AddToPlaylist ('Varnel Duplicate Media', '" + uriA + "')",
                                        "AddToPlaylist ('Varnel Duplicate Media', 'file:///b.ogg')"}));
    // The playlist exists now: it is not made again.
    result = executor.run(TWAppleScript::iTunesScript({uriA}, kTWDuplicatePlaylistName));
    ASSERT_FALSE(result.runError);
    EXPECT_EQ(rhythmbox.calls().size(), 6u);
    EXPECT_EQ(rhythmbox.calls()[4], "GetPlaylists");

    rhythmbox.refuseAdds = true;
    result = executor.run(TWAppleScript::iTunesScript({uriA}, kTWDuplicatePlaylistName));
    ASSERT_TRUE(result.runError);
    EXPECT_NE(result.runError->find("no such playlist"), std::string::npos) << *result.runError;
}

TEST_F(Rhythmbox, NotRunningAndNotStartableIsAFailure) {
    auto result = executor.run(TWAppleScript::iTunesScript({uriA}, kTWDuplicatePlaylistName));
    ASSERT_TRUE(result.runError);
    EXPECT_NE(result.runError->find("Rhythmbox is not running"), std::string::npos) << *result.runError;
    EXPECT_EQ(launched, (std::vector<std::string>{"Rhythmbox"}));  // after D-Bus activation failed
    // Any other text is no script this system runs.
    EXPECT_FALSE(executor.run("tell application \"Finder\"\nend tell").compiled);
}

}  // namespace
