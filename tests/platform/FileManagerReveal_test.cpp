#include "FileManagerReveal.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "GLibThread.h"
#include "PrivateBus.h"
#include "TestSupport.h"

namespace {

// A file manager of the test's own: records every ShowItems call it answers.
class FakeFileManager {
public:
    explicit FakeFileManager(twtest::PrivateBus& bus) : connection_(bus.connect()) {
        tw::GLibThread::shared().invokeAndWait([this] {
            GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
            static const GDBusInterfaceVTable vtable{&FakeFileManager::onCall, nullptr, nullptr, {}};
            registration_ = g_dbus_connection_register_object(connection_.get(), "/org/freedesktop/FileManager1",
                                                              node->interfaces[0], &vtable, this, nullptr, nullptr);
            g_dbus_node_info_unref(node);
        });
        owned_ = twtest::PrivateBus::ownName(connection_.get(), "org.freedesktop.FileManager1");
    }
    ~FakeFileManager() {
        tw::GLibThread::shared().invokeAndWait(
            [this] { g_dbus_connection_unregister_object(connection_.get(), registration_); });
    }
    bool owned() const { return owned_ && registration_ != 0; }
    std::vector<std::vector<std::string>> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    std::vector<std::string> startupIds() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return startupIds_;
    }

private:
    static constexpr const char* kIntrospection =
        "<node><interface name='org.freedesktop.FileManager1'>"
        "<method name='ShowItems'><arg type='as' direction='in'/><arg type='s' direction='in'/></method>"
        "</interface></node>";

    static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<FakeFileManager*>(data);
        GVariantIter* iter = nullptr;
        const gchar* startupId = nullptr;
        g_variant_get(parameters, "(as&s)", &iter, &startupId);
        std::vector<std::string> uris;
        const gchar* uri = nullptr;
        while (g_variant_iter_loop(iter, "&s", &uri)) uris.push_back(uri);
        g_variant_iter_free(iter);
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->calls_.push_back(uris);
            self->startupIds_.push_back(startupId);
        }
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    twtest::PrivateBus::Connection connection_;
    guint registration_ = 0;
    bool owned_ = false;
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> calls_;
    std::vector<std::string> startupIds_;
};

// Records the folders the fallback would open, launching nothing.
struct OpenerSpy {
    std::vector<std::string> opened;
    tw::Status answer = tw::Status::success();
    tw::FileManagerReveal::FolderOpener opener() {
        return [this](const std::string& uri) {
            opened.push_back(uri);
            return answer;
        };
    }
};

TEST(FileManagerRevealTest, ShowsItemsThroughTheFileManagerOnTheBus) {
    twtest::PrivateBus bus;
    FakeFileManager fileManager(bus);
    ASSERT_TRUE(fileManager.owned());
    twtest::TempDir dir;
    const std::string a = dir.write("a b.txt", "a");
    const std::string b = dir.write("sub/c#d.txt", "c");
    OpenerSpy spy;
    const tw::Status status = tw::FileManagerReveal({bus.address(), spy.opener()}).reveal({a, b});
    ASSERT_TRUE(status) << status.message();
    const auto calls = fileManager.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"file://" + dir.path() + "/a%20b.txt",
                                                  "file://" + dir.path() + "/sub/c%23d.txt"}));
    EXPECT_EQ(fileManager.startupIds(), std::vector<std::string>{""});
    EXPECT_TRUE(spy.opened.empty());
}

TEST(FileManagerRevealTest, WithoutAFileManagerOpensEachContainingFolderOnce) {
    twtest::PrivateBus bus;  // a bus with nobody on it
    twtest::TempDir dir;
    const std::string a = dir.write("one/a", "a");
    const std::string b = dir.write("one/b", "b");
    const std::string c = dir.write("two/c", "c");
    OpenerSpy spy;
    const tw::Status status = tw::FileManagerReveal({bus.address(), spy.opener()}).reveal({a, b, c});
    EXPECT_TRUE(status) << status.message();
    EXPECT_EQ(spy.opened, (std::vector<std::string>{"file://" + dir.path() + "/one", "file://" + dir.path() + "/two"}));
}

TEST(FileManagerRevealTest, WithoutABusFallsBackAndReportsTheOpenersFailure) {
    twtest::TempDir dir;
    const std::string a = dir.write("a", "a");
    OpenerSpy spy;
    spy.answer = tw::Status::failure("file:///x", "no handler");
    const tw::Status status = tw::FileManagerReveal({"unix:path=" + dir / "no-bus", spy.opener()}).reveal({a});
    EXPECT_FALSE(status);
    EXPECT_EQ(status.reason, "no handler");
    EXPECT_EQ(spy.opened, std::vector<std::string>{"file://" + dir.path()});
}

TEST(FileManagerRevealTest, NothingToRevealAsksNobody) {
    OpenerSpy spy;
    EXPECT_TRUE(tw::FileManagerReveal({"unix:path=/nonexistent/bus", spy.opener()}).reveal({}));
    EXPECT_TRUE(spy.opened.empty());
}

}  // namespace

// The fallback asks the desktop for the folder handler; an app that claims folders
// itself (Twinsift does, for "Open With") must never be the one it starts, even when
// the desktop names it the default.
TEST(FileManagerRevealTest, FallbackNeverLaunchesAnExcludedFolderHandler) {
    twtest::TempDir dir;
    const std::string apps = dir.mkdir("data/applications");
    const std::string marker = dir / "opened";
    const std::string script = dir.write(
        "fm.sh", "#!/bin/sh\necho \"$1\" > '" + marker + ".tmp' && mv '" + marker + ".tmp' '" + marker + "'\n");
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    const std::string self = dir.write("self.sh", "#!/bin/sh\ntouch '" + dir / "self-launched" + "'\n");
    ASSERT_EQ(chmod(self.c_str(), 0755), 0);
    auto entry = [](const std::string& exec) {
        return "[Desktop Entry]\nType=Application\nName=X\nExec=" + exec + " %U\nMimeType=inode/directory;\n";
    };
    dir.write("data/applications/org.twinsift.Twinsift.desktop", entry(self));
    dir.write("data/applications/fm.desktop", entry(script));
    // GIO takes an applications folder's MIME types from its cache, as the desktop's
    // update-desktop-database writes it: sorted by id, so Twinsift comes first here.
    dir.write("data/applications/mimeinfo.cache",
              "[MIME Cache]\ninode/directory=org.twinsift.Twinsift.desktop;fm.desktop;\n");
    // The MIME database itself stays the system's.
    dir.mkdir("share");
    dir.symlink("/usr/share/mime", "share/mime");
    dir.write("config/mimeapps.list", "[Default Applications]\ninode/directory=org.twinsift.Twinsift.desktop;\n");
    // GIO reads these once per process: this is the suite's only test of the fallback.
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir / "share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (dir / "none").c_str(), 1);

    const std::string folderUri = "file://" + dir.mkdir("Photos");
    const tw::Status opened = tw::FileManagerReveal::openWithDefaultApp(folderUri, {"org.twinsift.Twinsift.desktop"});
    ASSERT_TRUE(opened) << opened.message();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!twtest::exists(marker) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(twtest::exists(marker));
    EXPECT_EQ(twtest::readFile(marker), dir / "Photos\n");
    EXPECT_FALSE(twtest::exists(dir / "self-launched"));

    const tw::Status none =
        tw::FileManagerReveal::openWithDefaultApp(folderUri, {"org.twinsift.Twinsift.desktop", "fm.desktop"});
    EXPECT_FALSE(none);
    EXPECT_EQ(none.reason, "No file manager is installed");
}
