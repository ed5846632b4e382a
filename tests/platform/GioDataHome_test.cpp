#include "GioDataHome.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "TestSupport.h"

namespace twtest {
namespace {

class GioDataHomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::make_unique<TempDir>("twinsift-data-home");
        setenv("XDG_DATA_HOME", dir_->path().c_str(), 1);
        dir_->write("applications/twinsift-test-helper.desktop",
                    std::string("[Desktop Entry]\nType=Application\nName=") + kTestApplicationName + "\nExec=touch " +
                        dir_->path() + "/launched\n");
    }
    void TearDown() override { dir_.reset(); }
    const std::string& path() const { return dir_->path(); }

private:
    std::unique_ptr<TempDir> dir_;
};

GioDataHomeEnvironment* const gEnvironment =
    static_cast<GioDataHomeEnvironment*>(::testing::AddGlobalTestEnvironment(new GioDataHomeEnvironment));

}  // namespace

const std::string& gioDataHome() {
    return gEnvironment->path();
}
std::string gioLaunchMarker() {
    return gEnvironment->path() + "/launched";
}

}  // namespace twtest
