// The game's registration record, and the migration of an earlier
// edition's record to it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string recordKey = ProductConfig::registryKeyPath;
const std::string earlierKey = "SOFTWARE\\Calder\\Quillmoor";
const std::string programs = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

class RegistrationRecord : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    // Every key opened was closed, by the engine's teardown at the latest.
    void TearDown() override {
        engine.reset();
        EXPECT_EQ(fake::openRegistryKeys(), 0);
    }
    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
};

// A missing value, one too long for its field, or one filling it with no
// NUL fails the read and leaves no unended text; a text stored without its
// NUL is ended.
TEST_F(RegistrationRecord, StoredValuesNeverReachPastTheirFields) {
    fake::setRegistryText(recordKey, "Dir", "old dir");
    EXPECT_FALSE(engine->readRecord());  // a record without its CD is none
    fake::setRegistryText(recordKey, "CD", "e:");
    fake::setRegistryValue(recordKey, "InstType", platform::kRegistryDword, {1, 0, 0, 0});
    fake::setRegistryText(recordKey, "Dir", std::string(300, 'x'));
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "old dir");
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryText,
                           std::vector<unsigned char>(260, 'y'));
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "");
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryText, {'a', 'b', 'c'});
    std::memset(engine->installDir, 'z', kPathCapacity - 1);
    ASSERT_TRUE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "abc");

    // Written back, a text of its field's full length is stored with its NUL
    // but nothing beyond the field, and reads back whole.
    const std::string full(kPathCapacity - 1, 'c');
    std::strcpy(engine->sourceDir, full.c_str());
    ASSERT_TRUE(engine->writeRecord());
    fake::RegistryValue stored{0, {}};
    ASSERT_TRUE(fake::registryValue(recordKey, "CD", stored));
    EXPECT_EQ(stored.data.size(), kPathCapacity);
    ASSERT_TRUE(engine->readRecord());
    EXPECT_EQ(engine->sourceDir, full);
}

// Opening a key closes the one open; a failed step closes the key, and the
// values written before it stay.
TEST_F(RegistrationRecord, FailedStepsCloseTheKeyAndLeaveEarlierValues) {
    fake::failCall(fake::Call::RegistryCreateKey, 2);
    EXPECT_FALSE(engine->writeRecord());
    EXPECT_FALSE(engine->createKey("SOFTWARE\\A"));
    EXPECT_FALSE(engine->writeValue("Dir", platform::kRegistryText, "x", 2));  // no key open
    ASSERT_TRUE(engine->createKey("SOFTWARE\\A"));
    ASSERT_TRUE(engine->createKey(recordKey.c_str()));
    ASSERT_TRUE(engine->writeValue("Dir", platform::kRegistryText, "c:\\Games", 9));
    fake::failCall(fake::Call::RegistrySetValue);
    EXPECT_FALSE(engine->writeValue("CD", platform::kRegistryText, "d:", 3));
    EXPECT_EQ(engine->registryKey, nullptr);
    fake::RegistryValue value{0, {}};
    EXPECT_TRUE(fake::registryValue(recordKey, "Dir", value));
    EXPECT_FALSE(fake::registryValue(recordKey, "CD", value));

    ASSERT_TRUE(engine->openKey(recordKey.c_str()));
    EXPECT_FALSE(engine->openKey("SOFTWARE\\Missing"));
    EXPECT_EQ(fake::openRegistryKeys(), 0);
    EXPECT_TRUE(engine->deleteKey(recordKey.c_str()));
    EXPECT_FALSE(engine->deleteKey(recordKey.c_str()));
    for (int written = 1; written < 3; ++written) {  // the CD or the InstType value fails
        fake::failCall(fake::Call::RegistrySetValue, 1, written);
        EXPECT_FALSE(engine->writeRecord()) << written;
    }
    ASSERT_TRUE(engine->createKey("SOFTWARE\\A"));  // left open for the teardown
}

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

TEST_F(Migration, EachStateOfTheMachineTakesItsOwnRoad) {
    migrationEnabled = 0;  // switched off, it touches nothing
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_FALSE(fake::registryKeyExists(recordKey));

    // A source with no folder part keeps its drive alone; a drive's root
    // takes the earlier edition's folder.
    for (const std::string cd : {"e:", "e:\\"}) {
        SetUp();
        fake::setRegistryText(earlierKey, "CD", cd);
        EXPECT_TRUE(engine->migrateEarlierRecord());
        EXPECT_EQ(text(earlierKey, "CD"), cd.size() < 3 ? cd : cd + "Quillmoor");
    }
    // Now registered: the earlier record is left alone.
    fake::setRegistryText(earlierKey, "CD", "untouched");
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_EQ(text(earlierKey, "CD"), "untouched");

    // Without the product's shortcut nothing is written; without an earlier
    // record there is nothing to move.
    SetUp();
    platform::registryDeleteKey(earlierKey.c_str());
    EXPECT_FALSE(engine->migrateEarlierRecord());
    SetUp();
    std::remove(fake::hostPath(programs + "\\Calder\\Tessaline\\README.lnk").c_str());
    EXPECT_FALSE(engine->migrateEarlierRecord());
    EXPECT_FALSE(fake::registryKeyExists(recordKey));
    EXPECT_STREQ(engine->sourceDir, "e:\\Oldgame");

    // A working directory too long for its field is not registered.
    SetUp();
    readmeLink("Tessaline", "c:\\" + std::string(300, 'w'));
    EXPECT_TRUE(engine->migrateEarlierRecord());
    EXPECT_FALSE(fake::registryKeyExists(recordKey));
    EXPECT_EQ(text(earlierKey, "Dir"), "c:\\Games\\Quillmoor");
}

}  // namespace
