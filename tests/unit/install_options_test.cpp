// The disk space of an install for the optional parts chosen.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/install_options.h"
#include "engine/setup_engine.h"

TEST(InstallOptions, TheSpaceSumsThePartsWhoseFlagIsExactlyOne) {
    unsigned char saved[kSelectionFlags];
    std::memcpy(saved, setupEngine.selected, sizeof saved);
    struct {
        unsigned char graphics, music, voice;
        uint32_t megabytes;
    } const cases[] = {{1, 1, 1, 2300}, {0, 0, 0, 140}, {1, 0, 0, 1340}, {0, 1, 1, 1100},
                       {2, 0xFF, 1, 140 + 740}};
    // The flags of the other entries play no part.
    for (int others : {0, 1}) {
        for (const auto& c : cases) {
            std::memset(setupEngine.selected, others, sizeof setupEngine.selected);
            setupEngine.selected[kGraphicsPart] = c.graphics;
            setupEngine.selected[kMusicPart] = c.music;
            setupEngine.selected[kVoicePart] = c.voice;
            EXPECT_EQ(c.megabytes, requiredMegabytesForSelection())
                << int{c.graphics} << int{c.music} << int{c.voice} << " " << others;
        }
    }
    std::memcpy(setupEngine.selected, saved, sizeof saved);
}
