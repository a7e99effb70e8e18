#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

TEST(EngineState, FileListsAreCopiedWholeAndEndWithAnEmptyName) {
    // Replacing frees the old list (the leak checker would see it otherwise).
    FileList list = SetupEngine::replaceFileList(nullptr, ProductConfig::installList);
    std::string longest(127, 'n');
    const char* const longList[] = {longest.c_str(), "next", nullptr};
    list = SetupEngine::replaceFileList(list, longList);
    EXPECT_EQ(std::string(list[0]), longest);
    EXPECT_STREQ(list[1], "next");
    EXPECT_STREQ(list[2], "");
    // An empty name ends the list, and nothing after it is kept: freeing the
    // list frees every name (the leak checker would see one left over).
    const char* const gap[] = {"a", "", "b", nullptr};
    list = SetupEngine::replaceFileList(list, gap);
    EXPECT_STREQ(list[0], "a");
    EXPECT_STREQ(list[1], "");
    EXPECT_TRUE(SetupEngine::freeFileList(list));
    EXPECT_TRUE(SetupEngine::freeFileList(nullptr));
}

// A new engine keeps the defaults until initialize gives it the names,
// finds the source beside the program (or on the disc, once there is one)
// and reads the record; a record read only in part counts as missing.
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
    const std::string key = ProductConfig::registryKeyPath;
    fake::setRegistryText(key, "Dir", "c:\\Games\\Vellomira");
    fake::setRegistryText(key, "CD", "e:\\Vellomira");
    fake::setRegistryValue(key, "InstType", platform::kRegistryDword, {2, 0, 0, 0});
    initialize();
    EXPECT_EQ(engine->installState, 1);
    EXPECT_STREQ(engine->installDir, "c:\\Games\\Vellomira");
    EXPECT_STREQ(engine->sourceDir, "e:\\Vellomira");
    EXPECT_EQ(engine->installType, 2);

    fake::setRegistryValue(key, "InstType", platform::kRegistryText,
                           std::vector<unsigned char>(8, '7'));
    fake::setRegistryText(key, "CD", "e:\\Other");
    initialize();
    EXPECT_EQ(engine->installState, 0);
    EXPECT_STREQ(engine->sourceDir, "e:\\Other");
    EXPECT_EQ(fake::openRegistryKeys(), 0);
}

// A source root too long to take the data folder's name stays as it is; a
// program folder that does not fit at all leaves the source unknown.
TEST(EngineState, ASourceRootTooLongForTheDataFolderIsNotCut) {
    fake::reset();
    auto engine = std::make_unique<SetupEngine>();
    for (size_t length : {252, 300}) {
        const std::string folder = "c:\\" + std::string(length, 'f');
        fake::setModuleFileName(folder + "\\update.exe");
        engine->initialize(ProductConfig::installList, ProductConfig::updateList,
                           ProductConfig::volumeLabelList, nullptr, nullptr, "Torvane",
                           "Vellomira", "Vellomira", 3200);
        EXPECT_EQ(std::string(engine->sourceDir), length == 252 ? folder : "");
    }
}

}  // namespace
