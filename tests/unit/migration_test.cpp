#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string productKey = ProductConfig::registryKeyPath;
const std::string earlierKey = "SOFTWARE\\Calder\\Quillmoor";
const std::string programs = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

// A machine with the earlier edition's record and both editions' readme
// shortcuts, whose working directories are the games' folders.
class Migration : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::setRegistryText(earlierKey, "Dir", "c:\\Old\\Dir");
        fake::setRegistryText(earlierKey, "CD", "e:\\Oldgame");
        fake::setRegistryValue(earlierKey, "InstType", platform::kRegistryDword, {2, 0, 0, 0});
        readmeLink("Tessaline", "c:\\Games\\Tessaline");
        readmeLink("Quillmoor", "c:\\Games\\Quillmoor");
        migrationEnabled = 1;
    }
    void TearDown() override {
        migrationEnabled = 0;
        EXPECT_EQ(fake::openRegistryKeys(), 0);
    }

    static void readmeLink(const std::string& product, const std::string& workingDirectory) {
        fake::writeFile(programs + "\\Calder\\" + product + "\\README.lnk",
                        workingDirectory + "\\readme.txt\n" + workingDirectory);
    }

    static std::string text(const std::string& key, const std::string& name) {
        fake::RegistryValue value{0, {}};
        if (!fake::registryValue(key, name, value)) return "<missing>";
        return std::string(value.data.begin(), value.data.end()).c_str();
    }

    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
};

TEST_F(Migration, BothShortcutsRegisterTheProductAndRepointTheEarlierEdition) {
    migrationEnabled = 0;  // switched off, it touches nothing
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_FALSE(fake::registryKeyExists(productKey));

    migrationEnabled = 1;
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_EQ(text(productKey, "Dir"), "c:\\Games\\Tessaline");
    EXPECT_EQ(text(productKey, "CD"), "e:\\Oldgame");
    EXPECT_EQ(text(earlierKey, "Dir"), "c:\\Games\\Quillmoor");
    EXPECT_EQ(text(earlierKey, "CD"), "e:\\Quillmoor");
    fake::RegistryValue type{0, {}};
    EXPECT_TRUE(fake::registryValue(productKey, "InstType", type));
    EXPECT_EQ(type.data, (std::vector<unsigned char>{2, 0, 0, 0}));

    // Now registered: the earlier record is left alone.
    fake::setRegistryText(earlierKey, "CD", "untouched");
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_EQ(text(earlierKey, "CD"), "untouched");
}

TEST_F(Migration, ShortOrMissingPiecesTakeTheirOwnRoads) {
    // A source with no folder part keeps its drive alone.
    fake::setRegistryText(earlierKey, "CD", "e:");
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_EQ(text(earlierKey, "CD"), "e:");

    // Without the earlier edition's own shortcut its record goes.
    SetUp();
    std::remove(fake::hostPath(programs + "\\Calder\\Quillmoor\\README.lnk").c_str());
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_FALSE(fake::registryKeyExists(earlierKey));
    EXPECT_EQ(text(productKey, "Dir"), "c:\\Games\\Tessaline");
    EXPECT_EQ(text(productKey, "CD"), "e:\\Oldgame");

    // Without the product's shortcut nothing is written.
    SetUp();
    std::remove(fake::hostPath(programs + "\\Calder\\Tessaline\\README.lnk").c_str());
    EXPECT_FALSE(engine->migrateEarlierRecord());
    EXPECT_FALSE(fake::registryKeyExists(productKey));
    EXPECT_STREQ(engine->sourceDir, "e:\\Oldgame");

    // A working directory too long for its field is not registered.
    SetUp();
    readmeLink("Tessaline", "c:\\" + std::string(300, 'w'));
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_FALSE(fake::registryKeyExists(productKey));
    EXPECT_EQ(text(earlierKey, "Dir"), "c:\\Games\\Quillmoor");
}

}  // namespace
