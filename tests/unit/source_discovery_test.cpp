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

// A disc with the data folder but without the game in it, or with a folder
// in the game's place, is passed over like every other drive.
TEST_F(SourceDiscovery, OnlyACdDriveWithTheExactLabelAndTheGameQualifies) {
    gameDrive('a', 5, "Vellomira");
    gameDrive('b', 5, "Vellomira");
    gameDrive('d', 3, "Vellomira");
    gameDrive('f', 2, "Vellomira");
    gameDrive('g', 4, "Vellomira");
    gameDrive('h', 5, "VELLOMIRA");
    fake::setDrive('i', 5, "Vellomira");
    fake::writeFile("i:\\Vellomira\\readme.txt", "no game here");
    fake::setDrive('j', 5, "Vellomira");
    fake::makeFolder("j:\\Vellomira\\Vellomira.exe");
    EXPECT_EQ(discover(), "e:\\Games\\Setup");
    EXPECT_EQ(fake::callCount(fake::Call::DriveType), 24);  // c to z only

    gameDrive('k', 5, "Vellomira");
    gameDrive('m', 5, "Vellomira");
    EXPECT_EQ(discover(), "k:");
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

// A file's size is the low 32 bits of it, and free space counts whole
// megabytes; a file or disk that cannot be read has none.
TEST(DriveQueries, SizesAreCutToTheirUnitsAndUnreadableOnesAreZero) {
    fake::reset();
    fake::writeFile("c:\\Games\\big.pac", "x");
    fake::setReportedSize("c:\\Games\\big.pac", 5000000000ull);
    EXPECT_EQ(fileSize("c:\\Games\\big.pac"), 705032704u);
    EXPECT_EQ(fileSize("c:\\Games\\missing.pac"), 0u);
    fake::holdOpen("c:\\Games\\big.pac");
    EXPECT_EQ(fileSize("c:\\Games\\big.pac"), 0u);
    fake::setFreeBytes(3355443199ull);
    EXPECT_EQ(getFreeMegabytes("c:\\Program Files"), 3199u);
    fake::setFreeBytes(uint64_t{5} << 50);
    EXPECT_EQ(getFreeMegabytes("c:\\Program Files"), static_cast<uint32_t>((uint64_t{5} << 30)));
    fake::failCall(fake::Call::DiskFreeBytes);
    EXPECT_EQ(getFreeMegabytes("c:\\Program Files"), 0u);
}

}  // namespace
