// A file that refuses removal (outside the chosen folders, inside an overlay's layer
// folder) stays on disk even when something checked it, for every destination.

#include <gtest/gtest.h>

#include "RemovalRunSupport.h"
#include "TWRemovalRun.h"
#include "TestSupport.h"

namespace {

using namespace removaltest;
using twtest::exists;

TEST(RefusedFiles, TheRemovalLeavesThemWhateverTheirMarkSays) {
    for (int64_t destType : {TWDestTypeTrash, TWDestTypeDeletePermanently, TWDestTypeMoveToFolder}) {
        twtest::TempDir dir;
        auto kept = recordOf(dir.write("chosen/kept.txt", "same"));
        auto outside = recordOf(dir.write("other/outside.txt", "same"));
        auto layer = recordOf(dir.write("lower/layer.txt", "same"));
        auto plain = recordOf(dir.write("chosen/copy.txt", "same"));
        // Checked first, marked afterwards: the mark alone must not decide.
        auto group = groupOf({{kept, false}, {outside, true}, {layer, true}, {plain, true}});
        outside->markOutsideChosenFolders(dir / "chosen/link.txt");
        layer->markInsideOverlayLayer();
        auto progress = std::make_shared<RecordingProgress>();
        TWRemovalRun::Options options;
        options.destType = destType;
        options.folder = dir / "dest";
        auto run = TWRemovalRun::create(
            std::make_shared<ContainerSource>(std::vector{containerOf(TWCategory_documents, {group})}), progress,
            options);
        run->start();
        ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));

        SCOPED_TRACE("destination " + std::to_string(destType));
        EXPECT_TRUE(exists(outside->filePath()));
        EXPECT_TRUE(exists(layer->filePath()));
        EXPECT_FALSE(exists(plain->filePath())) << "the other checked copy goes as ever";
        EXPECT_EQ(progress->outcome.disposed, 1u);
        ASSERT_EQ(progress->outcome.failures.size(), 2u);
        EXPECT_EQ(progress->outcome.failures[0].path, outside->filePath());
        EXPECT_NE(progress->outcome.failures[0].reason.find("outside the chosen folders"), std::string::npos);
        EXPECT_EQ(progress->outcome.failures[1].path, layer->filePath());
        EXPECT_NE(progress->outcome.failures[1].reason.find("layer folder"), std::string::npos);
    }
}

}  // namespace
