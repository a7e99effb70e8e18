// The disk space of an install for the optional parts chosen.
#include <gtest/gtest.h>

#include "engine/install_options.h"
#include "engine/setup_engine.h"

namespace {

class InstallOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { saveSelection(); }
    void TearDown() override { restoreSelection(); }

    static void choose(unsigned char graphics, unsigned char music, unsigned char voice) {
        setupEngine.selected[kGraphicsPart] = graphics;
        setupEngine.selected[kMusicPart] = music;
        setupEngine.selected[kVoicePart] = voice;
    }

private:
    void saveSelection() {
        for (int entry = 0; entry < kSelectionFlags; ++entry) saved_[entry] = setupEngine.selected[entry];
    }
    void restoreSelection() {
        for (int entry = 0; entry < kSelectionFlags; ++entry) setupEngine.selected[entry] = saved_[entry];
    }
    unsigned char saved_[kSelectionFlags] = {};
};

TEST_F(InstallOptionsTest, SumsTheChosenParts) {
    choose(1, 1, 1);
    EXPECT_EQ(2300u, requiredMegabytesForSelection());
    choose(0, 0, 0);
    EXPECT_EQ(140u, requiredMegabytesForSelection());
    choose(1, 0, 0);
    EXPECT_EQ(1340u, requiredMegabytesForSelection());
    // Unchecking graphics while music and voice stay chosen.
    choose(0, 1, 1);
    EXPECT_EQ(1100u, requiredMegabytesForSelection());
}

TEST_F(InstallOptionsTest, CountsAFlagOnlyWhenItIsOne) {
    choose(2, 0xFF, 1);
    EXPECT_EQ(140u + 740u, requiredMegabytesForSelection());
    // Flags of other entries play no part.
    choose(0, 0, 0);
    setupEngine.selected[0] = 1;
    setupEngine.selected[3] = 1;
    EXPECT_EQ(140u, requiredMegabytesForSelection());
}

}  // namespace
