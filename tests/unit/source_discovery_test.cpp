#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

class SourceDiscovery : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::setModuleFileName("e:\\Games\\Setup\\update.exe");
        const char* const labels[] = {"Vellomira", nullptr};
        engine->volumeLabels = SetupEngine::replaceFileList(nullptr, labels);
    }

    // A drive of the given kind and label whose data folder holds the game.
    static void gameDrive(char letter, unsigned kind, const std::string& label) {
        fake::setDrive(letter, kind, label);
        fake::writeFile(std::string(1, letter) + ":\\Vellomira\\Vellomira.exe", "game");
    }

    std::string discover() {
        engine->discoverSource("Vellomira", "Vellomira.exe");
        return engine->sourceDir;
    }

    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
};

TEST_F(SourceDiscovery, DriveKindsMapToTheEngineCodesAndLabelsAreCopied) {
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

TEST_F(SourceDiscovery, OnlyACdDriveWithTheExactLabelAndTheGameQualifies) {
    gameDrive('a', 5, "Vellomira");
    gameDrive('b', 5, "Vellomira");
    gameDrive('d', 3, "Vellomira");
    gameDrive('f', 2, "Vellomira");
    gameDrive('g', 4, "Vellomira");
    gameDrive('h', 5, "VELLOMIRA");
    EXPECT_EQ(discover(), "e:\\Games\\Setup");
    EXPECT_EQ(fake::callCount(fake::Call::DriveType), 24);  // c to z only

    gameDrive('k', 5, "Vellomira");
    gameDrive('m', 5, "Vellomira");
    EXPECT_EQ(discover(), "k:");
}

TEST_F(SourceDiscovery, AMatchingDiscWithoutTheGameIsPassedOver) {
    fake::setDrive('d', 5, "Vellomira");
    fake::writeFile("d:\\Vellomira\\readme.txt", "no game here");
    gameDrive('q', 5, "Vellomira");
    EXPECT_EQ(discover(), "q:");

    fake::reset();
    fake::setModuleFileName("e:\\Games\\Setup\\update.exe");
    fake::setDrive('d', 5, "Vellomira");
    fake::makeFolder("d:\\Vellomira\\Vellomira.exe");  // a folder is not the game
    EXPECT_EQ(discover(), "e:\\Games\\Setup");
}

TEST_F(SourceDiscovery, TheProgramFolderIsTheLastResort) {
    // "表" ends in the byte 0x5C; it is no separator.
    fake::setModuleFileName("c:\\Games\\\x95\x5C\\update.exe");
    EXPECT_EQ(discover(), "c:\\Games\\\x95\x5C");

    fake::setModuleFileName("c:\\" + std::string(400, 'p') + "\\update.exe");
    EXPECT_EQ(discover(), "");  // would not fit the field whole
    fake::failCall(fake::Call::ModuleFileName);
    EXPECT_EQ(discover(), "");
}

TEST(DriveQueries, FileSizeIsTheLow32BitsOrZero) {
    fake::reset();
    fake::writeFile("c:\\Games\\small.pac", "12345");
    EXPECT_EQ(fileSize("c:\\Games\\small.pac"), 5u);
    fake::writeFile("c:\\Games\\big.pac", "x");
    fake::setReportedSize("c:\\Games\\big.pac", 5000000000ull);
    EXPECT_EQ(fileSize("c:\\Games\\big.pac"), 705032704u);
    EXPECT_EQ(fileSize("c:\\Games\\missing.pac"), 0u);
    fake::holdOpen("c:\\Games\\small.pac");
    EXPECT_EQ(fileSize("c:\\Games\\small.pac"), 0u);
}

TEST(DriveQueries, FreeMegabytesRoundDownAndAnUnreadableDiskHasNone) {
    fake::reset();
    fake::setFreeBytes(3355443199ull);
    EXPECT_EQ(getFreeMegabytes("c:\\Program Files"), 3199u);
    fake::setFreeBytes(uint64_t{5} << 50);
    EXPECT_EQ(getFreeMegabytes("c:\\Program Files"), static_cast<uint32_t>((uint64_t{5} << 30)));
    fake::failCall(fake::Call::DiskFreeBytes);
    EXPECT_EQ(getFreeMegabytes("c:\\Program Files"), 0u);
}

}  // namespace
