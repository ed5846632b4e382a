#include "RhythmboxLibrary.h"

#include <gio/gio.h>

#include <cstring>
#include <map>
#include <memory>
#include <thread>

#include "Log.h"
#include "SessionBus.h"

namespace tw {

namespace {

// The entries of rhythmdb.xml: one <entry type="..."> per record, each property a child
// element holding text.
struct DatabaseParse {
    LibraryContent* content = nullptr;
    std::map<std::string, size_t>* byLocation = nullptr;
    std::string version;
    int depth = 0;
    bool inSong = false;
    std::string property;  // the child element being read
    std::string text;
    std::string location;
    bool hidden = false;
};

void startDatabaseElement(GMarkupParseContext*, const gchar* element, const gchar** names, const gchar** values,
                          gpointer data, GError**) {
    auto* parse = static_cast<DatabaseParse*>(data);
    ++parse->depth;
    if (parse->depth == 1) {
        for (int i = 0; names[i]; ++i)
            if (std::strcmp(names[i], "version") == 0) parse->version = values[i];
    } else if (parse->depth == 2 && std::strcmp(element, "entry") == 0) {
        parse->inSong = false;
        for (int i = 0; names[i]; ++i)
            if (std::strcmp(names[i], "type") == 0) parse->inSong = std::strcmp(values[i], "song") == 0;
        parse->location.clear();
        parse->hidden = false;
    } else if (parse->depth == 3 && parse->inSong) {
        parse->property = element;
        parse->text.clear();
    }
}

void databaseText(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
    auto* parse = static_cast<DatabaseParse*>(data);
    if (parse->depth == 3 && parse->inSong) parse->text.append(text, length);
}

// A song's file, or "" for a location that is no local file.
std::string pathOfUri(const std::string& uri) {
    if (uri.rfind("file://", 0) != 0) return {};
    gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
    std::string result = path ? path : "";
    g_free(path);
    return result;
}

void endDatabaseElement(GMarkupParseContext*, const gchar*, gpointer data, GError**) {
    auto* parse = static_cast<DatabaseParse*>(data);
    if (parse->depth == 3 && parse->inSong) {
        if (parse->property == "location") parse->location = parse->text;
        if (parse->property == "hidden") parse->hidden = parse->text == "1";
    } else if (parse->depth == 2 && parse->inSong) {
        // Hidden songs are those whose files Rhythmbox found missing.
        const std::string path = pathOfUri(parse->location);
        if (!parse->hidden && !path.empty() && !parse->byLocation->count(parse->location)) {
            (*parse->byLocation)[parse->location] = parse->content->items.size();
            parse->content->root.items.push_back(parse->content->items.size());
            parse->content->items.push_back({parse->location, path});
        }
        parse->inSong = false;
    }
    --parse->depth;
}

// The static playlists of playlists.xml: <playlist name="..." type="static"> holding
// <location> elements.
struct PlaylistParse {
    LibraryContent* content = nullptr;
    const std::map<std::string, size_t>* byLocation = nullptr;
    std::string playlist;  // the static playlist being read; "" outside one
    bool inLocation = false;
    std::string text;
};

void startPlaylistElement(GMarkupParseContext*, const gchar* element, const gchar** names, const gchar** values,
                          gpointer data, GError**) {
    auto* parse = static_cast<PlaylistParse*>(data);
    if (std::strcmp(element, "playlist") == 0) {
        std::string name, type;
        for (int i = 0; names[i]; ++i) {
            if (std::strcmp(names[i], "name") == 0) name = values[i];
            if (std::strcmp(names[i], "type") == 0) type = values[i];
        }
        parse->playlist = type == "static" ? name : "";
    } else if (std::strcmp(element, "location") == 0 && !parse->playlist.empty()) {
        parse->inLocation = true;
        parse->text.clear();
    }
}

void playlistText(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
    auto* parse = static_cast<PlaylistParse*>(data);
    if (parse->inLocation) parse->text.append(text, length);
}

void endPlaylistElement(GMarkupParseContext*, const gchar* element, gpointer data, GError**) {
    auto* parse = static_cast<PlaylistParse*>(data);
    if (std::strcmp(element, "location") == 0 && parse->inLocation) {
        parse->inLocation = false;
        if (auto it = parse->byLocation->find(parse->text); it != parse->byLocation->end())
            parse->content->root.child(parse->playlist).items.push_back(it->second);
    } else if (std::strcmp(element, "playlist") == 0) {
        parse->playlist.clear();
    }
}

// Parses `path` with `parser`; "" or the reason it failed.
std::string parseFile(const std::string& path, const GMarkupParser& parser, gpointer data) {
    gchar* bytes = nullptr;
    gsize length = 0;
    GError* error = nullptr;
    if (!g_file_get_contents(path.c_str(), &bytes, &length, &error)) {
        std::string reason = error ? error->message : "cannot read it";
        if (error) g_error_free(error);
        return reason;
    }
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, G_MARKUP_DEFAULT_FLAGS, data, nullptr);
    const bool parsed = g_markup_parse_context_parse(context, bytes, static_cast<gssize>(length), &error) &&
                        g_markup_parse_context_end_parse(context, &error);
    g_markup_parse_context_free(context);
    g_free(bytes);
    if (parsed) return {};
    std::string reason = error ? error->message : "it is not well-formed";
    if (error) g_error_free(error);
    return reason;
}

}  // namespace

LibraryContent RhythmboxLibrary::read() const {
    LibraryContent content;
    content.library = "Rhythmbox";
    content.location = database();
    content.root.name = "Rhythmbox";
    std::map<std::string, size_t> byLocation;
    DatabaseParse songs;
    songs.content = &content;
    songs.byLocation = &byLocation;
    const GMarkupParser songParser{startDatabaseElement, endDatabaseElement, databaseText, nullptr, nullptr};
    if (std::string problem = parseFile(database(), songParser, &songs); !problem.empty()) {
        return LibraryContent{
            content.library, content.location, {}, {"Rhythmbox", {}, {}}, "cannot read the library: " + problem};
    }
    // Versions 1.x and 2.0 keep songs as read here.
    if (songs.version.empty() || (songs.version[0] != '1' && songs.version != "2.0"))
        return LibraryContent{content.library,
                              content.location,
                              {},
                              {"Rhythmbox", {}, {}},
                              "its format version \"" + songs.version + "\" is not one known (1.x, 2.0)"};
    PlaylistParse playlists;
    playlists.content = &content;
    playlists.byLocation = &byLocation;
    const GMarkupParser playlistParser{startPlaylistElement, endPlaylistElement, playlistText, nullptr, nullptr};
    const std::string playlistFile = folder_ + "/playlists.xml";
    if (g_file_test(playlistFile.c_str(), G_FILE_TEST_EXISTS))
        if (std::string problem = parseFile(playlistFile, playlistParser, &playlists); !problem.empty())
            log("Rhythmbox: playlists in %s not read: %s", playlistFile.c_str(), problem.c_str());
    return content;
}

namespace {

// Starts Rhythmbox when no one owns its name, and waits for it.
Status reachRhythmbox(SessionBus& bus, std::chrono::milliseconds limit,
                      const std::function<bool(const std::string&)>& launch) {
    if (bus.nameHasOwner(RhythmboxLibrary::kBusName)) return Status::success();
    if (!bus.startService(RhythmboxLibrary::kBusName)) {
        log("Rhythmbox: D-Bus activation failed (%s); trying its desktop entry", bus.error().c_str());
        if (launch) launch("Rhythmbox");
    }
    if (!bus.waitForOwner(RhythmboxLibrary::kBusName, limit))
        return Status::failure("", "Rhythmbox is not running and could not be started");
    return Status::success();
}

// GetPlaylists, asked again while the playlist manager is not exported yet (it appears
// a moment after the name is taken).
GVariant* playlists(SessionBus& bus, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        GVariant* reply = bus.call(RhythmboxLibrary::kBusName, RhythmboxLibrary::kPlaylistManagerPath,
                                   RhythmboxLibrary::kPlaylistManagerInterface, "GetPlaylists", nullptr);
        if (reply) return reply;
        const std::string& name = bus.errorName();
        const bool notYet = name == "org.freedesktop.DBus.Error.UnknownMethod" ||
                            name == "org.freedesktop.DBus.Error.UnknownObject" ||
                            name == "org.freedesktop.DBus.Error.UnknownInterface";
        if (!notYet || std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool hasPlaylist(GVariant* reply, const std::string& name) {
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(as)", &iter);
    const char* each = nullptr;
    bool found = false;
    while (g_variant_iter_next(iter, "&s", &each))
        if (name == each) found = true;
    g_variant_iter_free(iter);
    return found;
}

Status callFailed(SessionBus& bus, const std::string& what) {
    return Status::failure("", "Rhythmbox refused to " + what + ": " + bus.error());
}

}  // namespace

Status RhythmboxLibrary::addToPlaylist(const std::vector<std::string>& uris, const std::string& name,
                                       std::chrono::milliseconds startLimit,
                                       const std::function<bool(const std::string&)>& launch) {
    SessionBus bus;
    if (!bus.isConnected()) return Status::failure("", bus.error());
    if (Status reached = reachRhythmbox(bus, startLimit, launch); !reached) return reached;
    GVariant* list = playlists(bus, startLimit);
    if (!list) return callFailed(bus, "list its playlists");
    const bool exists = hasPlaylist(list, name);
    g_variant_unref(list);
    if (!exists) {
        GVariant* made = bus.call(kBusName, kPlaylistManagerPath, kPlaylistManagerInterface, "CreatePlaylist",
                                  g_variant_new("(s)", name.c_str()));
        if (!made) return callFailed(bus, "make the playlist \"" + name + "\"");
        g_variant_unref(made);
    }
    for (const std::string& uri : uris) {
        GVariant* added = bus.call(kBusName, kPlaylistManagerPath, kPlaylistManagerInterface, "AddToPlaylist",
                                   g_variant_new("(ss)", name.c_str(), uri.c_str()));
        if (!added) return callFailed(bus, "add " + uri + " to the playlist \"" + name + "\"");
        g_variant_unref(added);
    }
    return Status::success();
}

}  // namespace tw
