// The library context is filled on first need (when the image module is loaded): the
// settings copied before then reach it in their order, as they would have one by one.

#include <gtest/gtest.h>

#include "similar/ZPSimilarContext.h"

namespace {

TEST(SimilarContextLibrary, SettingsCopiedBeforeFirstUseApplyInOrder) {
    ZPSimilarContext context;
    context.setMaxWidth(500);
    context.setLambdas(9);
    context.setContextOptions();
    context.setMaxWidth(0);  // refused: 500 stays
    context.setLambdas(13);  // accepted over 9
    context.setContextOptions();
    context.setContextOptions();  // the same settings again change nothing

    const PuzzleContext& library = *context.puzzleContext();
    EXPECT_EQ(library.magic, 0xdeadbeefUL);
    EXPECT_EQ(library.puzzle_max_width, 500u);
    EXPECT_EQ(library.puzzle_lambdas, 13u);
    EXPECT_EQ(context.puzzleContext(), &library);

    // Once filled, settings go straight to it.
    context.setMaxWidth(640);
    context.setContextOptions();
    EXPECT_EQ(context.puzzleContext()->puzzle_max_width, 640u);
}

}  // namespace
