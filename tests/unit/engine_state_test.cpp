#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

class EngineState : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }

    void initialize(SetupEngine& engine) {
        const char* const installList[] = {"Vellomira.exe", "grd.pac", nullptr};
        engine.initialize(installList, ProductConfig::updateList,
                          ProductConfig::volumeLabelList, owner, nullptr, "Torvane",
                          "Vellomira", "Vellomira", 3200);
    }

    int ownerWindow = 0;
    platform::WindowHandle owner = &ownerWindow;
};

TEST_F(EngineState, ConstructionGivesTheDocumentedDefaults) {
    auto engine = std::make_unique<SetupEngine>();
    EXPECT_STREQ(engine->installBase, "c:\\Program Files");
    EXPECT_EQ(engine->endFile, 9999);
    EXPECT_EQ(engine->volumeLabelCount, 1);
    for (unsigned char flag : engine->selected) EXPECT_EQ(flag, 1);

    EXPECT_EQ(engine->installFiles, nullptr);
    EXPECT_EQ(engine->updateFiles, nullptr);
    EXPECT_EQ(engine->volumeLabels, nullptr);
    for (const char* text : {engine->makerName, engine->dataFolder, engine->productName,
                             engine->installDir, engine->sourceDir, engine->registryPath,
                             engine->shellFolder}) {
        EXPECT_STREQ(text, "");
    }
    EXPECT_EQ(engine->copyRunning, 0);
    EXPECT_EQ(engine->installType, 0);
    EXPECT_EQ(engine->progressControlId, 0);
    EXPECT_EQ(engine->bytesCopied, 0u);
    EXPECT_EQ(engine->freeMegabytes, 0u);
    EXPECT_EQ(engine->requiredMegabytes, 0u);
    EXPECT_EQ(engine->copyThreadId, 0u);
    EXPECT_EQ(engine->sourceStream, nullptr);
    EXPECT_EQ(engine->targetStream, nullptr);
    EXPECT_EQ(engine->ownerWindow, nullptr);
    EXPECT_EQ(engine->dialogWindow, nullptr);
    EXPECT_EQ(engine->registryKey, nullptr);
    EXPECT_EQ(engine->installState, 0);
    EXPECT_EQ(engine->cancelState, 0);
    EXPECT_EQ(engine->firstFile, 0);
    EXPECT_EQ(engine->progressTarget, 0);
    EXPECT_EQ(engine->progressShown, 0);
    EXPECT_EQ(engine->progressUnit, 0u);
}

TEST_F(EngineState, AccessorsSetTheirFields) {
    auto engine = std::make_unique<SetupEngine>();
    engine->setInstallRange(1, 0, 11);
    EXPECT_EQ(engine->installType, 1);
    EXPECT_EQ(engine->firstFile, 0);
    EXPECT_EQ(engine->endFile, 11);
    engine->setProgressControl(1005);
    EXPECT_EQ(engine->progressControlId, 1005);
    engine->setRequiredMegabytes(1234);
    EXPECT_EQ(engine->requiredMegabytes, 1234u);
    engine->setDialogWindow(owner);
    EXPECT_EQ(engine->dialogWindow, owner);

    for (int value : {0, 2, -1, 3}) {
        engine->copyRunning = value;
        EXPECT_FALSE(engine->isCopyRunning()) << value;
    }
    engine->copyRunning = 1;
    EXPECT_TRUE(engine->isCopyRunning());

    std::strcpy(engine->sourceDir, "d:\\Vellomira");
    char small[5] = "zzzz";
    engine->getSourceDir(small, sizeof small);
    EXPECT_STREQ(small, "d:\\V");
    char large[kTextCapacity];
    engine->getSourceDir(large, sizeof large);
    EXPECT_STREQ(large, "d:\\Vellomira");
}

TEST_F(EngineState, FileListsAreCopiedWholeAndEndWithAnEmptyName) {
    const char* const onlyEnd[] = {nullptr};
    FileList empty = SetupEngine::replaceFileList(nullptr, onlyEnd);
    EXPECT_STREQ(empty[0], "");

    // Replacing frees the old list (the leak checker would see it otherwise).
    FileList install = SetupEngine::replaceFileList(empty, ProductConfig::installList);
    int count = 0;
    while (install[count][0] != '\0') ++count;
    EXPECT_EQ(count, 28);
    EXPECT_STREQ(install[10], "readme.txt");
    EXPECT_STREQ(install[11], "uninst.exe");
    EXPECT_STREQ(install[27], "debuglog.txt");

    std::string longest(127, 'n');
    const char* const longList[] = {longest.c_str(), "next", nullptr};
    FileList names = SetupEngine::replaceFileList(install, longList);
    EXPECT_EQ(std::string(names[0]), longest);
    EXPECT_STREQ(names[1], "next");
    EXPECT_STREQ(names[2], "");

    // An empty name ends the list, and nothing after it is kept: freeing the
    // list frees every name (the leak checker would see one left over).
    const char* const gap[] = {"a", "", "b", nullptr};
    names = SetupEngine::replaceFileList(names, gap);
    EXPECT_STREQ(names[0], "a");
    EXPECT_STREQ(names[1], "");

    EXPECT_TRUE(SetupEngine::freeFileList(names));
    EXPECT_TRUE(SetupEngine::freeFileList(nullptr));
}

TEST_F(EngineState, InitializeWithoutARecordLeavesTheGameUnregistered) {
    auto engine = std::make_unique<SetupEngine>();
    initialize(*engine);
    EXPECT_EQ(engine->installState, 0);
    EXPECT_STREQ(engine->installDir, "");
    EXPECT_STREQ(engine->sourceDir, "c:\\Setup\\Vellomira");
    EXPECT_STREQ(engine->makerName, "Torvane");
    EXPECT_STREQ(engine->productName, "Vellomira");
    EXPECT_STREQ(engine->dataFolder, "Vellomira");
    EXPECT_STREQ(engine->registryPath, "Software\\Torvane\\Vellomira");
    EXPECT_STREQ(engine->installFiles[0], "Vellomira.exe");
    EXPECT_STREQ(engine->updateFiles[9], ProductConfig::updateList[9]);
    EXPECT_STREQ(engine->volumeLabels[0], "Vellomira");
    EXPECT_EQ(engine->ownerWindow, owner);
    EXPECT_EQ(engine->dialogWindow, nullptr);
    EXPECT_EQ(engine->requiredMegabytes, 3200u);
    EXPECT_EQ(fake::openRegistryKeys(), 0);

    // A second initialization replaces the lists and finds the disc.
    fake::setDrive('d', 5, "Vellomira");
    fake::writeFile("d:\\Vellomira\\Vellomira.exe", "game");
    initialize(*engine);
    EXPECT_STREQ(engine->sourceDir, "d:\\Vellomira");
}

TEST_F(EngineState, InitializeWithARecordTakesItsThreeValues) {
    const std::string key = ProductConfig::registryKeyPath;
    fake::setRegistryText(key, "Dir", "c:\\Program Files\\Torvane\\Vellomira");
    fake::setRegistryText(key, "CD", "e:\\Vellomira");
    fake::setRegistryValue(key, "InstType", platform::kRegistryDword, {2, 0, 0, 0});
    auto engine = std::make_unique<SetupEngine>();
    initialize(*engine);
    EXPECT_EQ(engine->installState, 1);
    EXPECT_STREQ(engine->installDir, "c:\\Program Files\\Torvane\\Vellomira");
    EXPECT_STREQ(engine->sourceDir, "e:\\Vellomira");
    EXPECT_EQ(engine->installType, 2);
    EXPECT_EQ(fake::openRegistryKeys(), 0);

    // A record read only in part keeps what was read and counts as missing.
    fake::setRegistryValue(key, "InstType", platform::kRegistryText,
                           std::vector<unsigned char>(8, '7'));
    initialize(*engine);
    EXPECT_EQ(engine->installState, 0);
    EXPECT_STREQ(engine->sourceDir, "e:\\Vellomira");
}

TEST_F(EngineState, ASourceRootTooLongForTheDataFolderIsNotCut) {
    std::string folder = "c:\\" + std::string(252, 'f');  // 255 characters
    fake::setModuleFileName(folder + "\\update.exe");
    auto engine = std::make_unique<SetupEngine>();
    initialize(*engine);
    EXPECT_EQ(std::string(engine->sourceDir), folder);

    // A program folder that does not fit at all leaves the source unknown.
    fake::setModuleFileName("c:\\" + std::string(300, 'g') + "\\update.exe");
    initialize(*engine);
    EXPECT_STREQ(engine->sourceDir, "");
}

}  // namespace
