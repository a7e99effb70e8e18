// The engine's state: its file lists, initialize, the install source and
// the space the chosen parts need.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/install_options.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

// A new engine keeps the defaults until initialize gives it the names,
// finds the source beside the program (or on the disc, once there is one)
// and reads the record.
TEST(EngineState, InitializeTakesTheNamesTheSourceAndTheRecord) {
    fake::reset();
    int ownerWindow = 0;
    auto engine = std::make_unique<SetupEngine>();
    EXPECT_STREQ(engine->installBase, "c:\\Program Files");
    EXPECT_EQ(engine->endFile, 9999);
    for (unsigned char flag : engine->selected) EXPECT_EQ(flag, 1);
    auto initialize = [&] {
        const char* const installList[] = {"Vellomira.exe", "grd.pac", nullptr};
        engine->initialize(installList, ProductConfig::updateList, ProductConfig::volumeLabelList,
                           &ownerWindow, nullptr, "Torvane", "Vellomira", "Data", 3200);
    };
    initialize();
    EXPECT_EQ(engine->installState, 0);
    EXPECT_STREQ(engine->sourceDir, "c:\\Setup\\Data");
    EXPECT_STREQ(engine->makerName, "Torvane");
    EXPECT_STREQ(engine->productName, "Vellomira");
    EXPECT_STREQ(engine->dataFolder, "Data");
    EXPECT_STREQ(engine->registryPath, "Software\\Torvane\\Vellomira");
    EXPECT_STREQ(engine->updateFiles[9], ProductConfig::updateList[9]);
    EXPECT_EQ(engine->ownerWindow, &ownerWindow);
    EXPECT_EQ(engine->requiredMegabytes, 3200u);

    fake::setDrive('d', 5, "Vellomira");
    fake::writeFile("d:\\Data\\Vellomira.exe", "game");
    initialize();
    EXPECT_STREQ(engine->sourceDir, "d:\\Data");
    EXPECT_TRUE(engine->discoverSource("Data", "Vellomira.exe") &&
                engine->discoverSource("Data", "missing.exe"));
    EXPECT_TRUE(SetupEngine::freeFileList(nullptr));
    const std::string key = ProductConfig::registryKeyPath;
    fake::setRegistryText(key, "Dir", "c:\\Games\\Vellomira");
    fake::setRegistryText(key, "CD", "e:\\Vellomira");
    fake::setRegistryValue(key, "InstType", platform::kRegistryDword, {2, 0, 0, 0});
    initialize();
    EXPECT_EQ(engine->installState, 1);
    EXPECT_STREQ(engine->installDir, "c:\\Games\\Vellomira");
    EXPECT_STREQ(engine->sourceDir, "e:\\Vellomira");
    EXPECT_EQ(engine->installType, 2);
    // A record read only in part counts as missing.
    fake::setRegistryValue(key, "InstType", platform::kRegistryText,
                           std::vector<unsigned char>(8, '7'));
    initialize();
    EXPECT_EQ(engine->installState, 0);
    EXPECT_EQ(fake::openRegistryKeys(), 0);
}

TEST(SourceDiscovery, DriveKindsMapToTheEngineCodes) {
    fake::reset();
    const unsigned systemKinds[] = {0, 2, 3, 4, 5, 6, 7};
    const int engineKinds[] = {kDriveUnknown, kDriveRemovable, kDriveFixed, kDriveRemote,
                               kDriveCdrom,   kDriveRamDisk,   kDriveUnknown};
    for (int at = 0; at < 7; ++at) {
        char root[] = "d:\\";
        root[0] = static_cast<char>('d' + at);
        fake::setDrive(root[0], systemKinds[at], "Label");
        char label[16] = "";
        EXPECT_EQ(queryDrive(root, label, sizeof label), engineKinds[at]) << root;
    }
}

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

}  // namespace
