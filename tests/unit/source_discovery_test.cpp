#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

TEST(SourceDiscovery, DriveKindsMapToTheEngineCodesAndLabelsAreCopied) {
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
        EXPECT_STREQ(label, "Label");
    }
    char label[16] = "kept";
    EXPECT_EQ(queryDrive("x:\\", label, sizeof label), kDriveUnknown);  // no such drive
    EXPECT_STREQ(label, "kept");
    fake::setDrive('y', 5, "", false);  // a CD drive without a disc
    EXPECT_EQ(queryDrive("y:\\", label, sizeof label), kDriveCdrom);
    EXPECT_STREQ(label, "kept");
    fake::setDrive('z', 5, "AVeryLongVolumeLabel");
    EXPECT_EQ(queryDrive("z:\\", label, 5), kDriveCdrom);
    EXPECT_STREQ(label, "AVer");
}

// Drives c to z are scanned for a CD drive whose label matches exactly and
// whose data folder holds the game; the program's own folder is the last
// resort.
TEST(SourceDiscovery, OnlyACdDriveWithTheExactLabelAndTheGameQualifies) {
    fake::reset();
    fake::setModuleFileName("e:\\Games\\Setup\\update.exe");
    auto engine = std::make_unique<SetupEngine>();
    const char* const labels[] = {"Vellomira", nullptr};
    engine->volumeLabels = SetupEngine::replaceFileList(nullptr, labels);
    auto gameDrive = [](char letter, unsigned kind, const std::string& label) {
        fake::setDrive(letter, kind, label);
        fake::writeFile(std::string(1, letter) + ":\\Vellomira\\Vellomira.exe", "game");
    };
    auto discover = [&] {
        engine->discoverSource("Vellomira", "Vellomira.exe");
        return std::string(engine->sourceDir);
    };
    gameDrive('a', 5, "Vellomira");
    gameDrive('d', 3, "Vellomira");
    gameDrive('h', 5, "VELLOMIRA");
    fake::setDrive('i', 5, "Vellomira");  // the data folder without the game
    fake::makeFolder("i:\\Vellomira\\Vellomira.exe");
    EXPECT_EQ(discover(), "e:\\Games\\Setup");
    EXPECT_EQ(fake::callCount(fake::Call::DriveType), 24);

    gameDrive('k', 5, "Vellomira");
    gameDrive('m', 5, "Vellomira");
    EXPECT_EQ(discover(), "k:");
}

}  // namespace
