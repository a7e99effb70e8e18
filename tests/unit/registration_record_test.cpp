#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

const std::string recordKey = ProductConfig::registryKeyPath;

class RegistrationRecord : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override { EXPECT_EQ(fake::openRegistryKeys(), 0); }

    static fake::RegistryValue stored(const std::string& name) {
        fake::RegistryValue value{0, {}};
        EXPECT_TRUE(fake::registryValue(recordKey, name, value)) << name;
        return value;
    }

    void fill(const std::string& dir, const std::string& cd, int32_t type) {
        std::strcpy(engine->installDir, dir.c_str());
        std::strcpy(engine->sourceDir, cd.c_str());
        engine->installType = type;
    }

    std::unique_ptr<SetupEngine> engine = std::make_unique<SetupEngine>();
};

TEST_F(RegistrationRecord, WriteThenReadRestoresAllThreeValues) {
    fill("c:\\Program Files\\Torvane\\Vellomira", "d:\\Vellomira", 2);  // 34 characters
    ASSERT_TRUE(engine->writeRecord());
    fake::RegistryValue dir = stored("Dir");
    EXPECT_EQ(dir.type, platform::kRegistryText);
    EXPECT_EQ(dir.data.size(), 36u);
    EXPECT_EQ(stored("CD").data.size(), 14u);
    fake::RegistryValue type = stored("InstType");
    EXPECT_EQ(type.type, platform::kRegistryDword);
    EXPECT_EQ(type.data, (std::vector<unsigned char>{2, 0, 0, 0}));

    fill("", "", 0);
    ASSERT_TRUE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "c:\\Program Files\\Torvane\\Vellomira");
    EXPECT_STREQ(engine->sourceDir, "d:\\Vellomira");
    EXPECT_EQ(engine->installType, 2);

    ASSERT_TRUE(engine->writeRecordAt("SOFTWARE\\Other\\Place"));
    EXPECT_TRUE(fake::registryKeyExists("software\\other\\place"));
    EXPECT_TRUE(engine->readRecordAt("SOFTWARE\\OTHER\\PLACE"));
}

TEST_F(RegistrationRecord, TextsOfFullFieldLengthAreStoredWithinTheField) {
    std::string dir258(258, 'd');
    std::string cd259(259, 'c');
    fill(dir258, cd259, 1);
    ASSERT_TRUE(engine->writeRecord());
    EXPECT_EQ(stored("Dir").data.size(), 260u);
    fake::RegistryValue cd = stored("CD");
    EXPECT_EQ(cd.data.size(), 260u);
    EXPECT_EQ(cd.data.back(), 0);

    fill("", "", 0);
    ASSERT_TRUE(engine->readRecord());
    EXPECT_EQ(std::string(engine->installDir), dir258);
    EXPECT_EQ(std::string(engine->sourceDir), cd259);
}

TEST_F(RegistrationRecord, MissingOrPartialRecordsFailAndKeepWhatWasRead) {
    fill("old dir", "old cd", 5);
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "old dir");
    EXPECT_STREQ(engine->sourceDir, "old cd");
    EXPECT_EQ(engine->installType, 5);

    fake::setRegistryText(recordKey, "Dir", "c:\\Games");
    fake::setRegistryText(recordKey, "CD", "d:\\Vellomira");
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "c:\\Games");
    EXPECT_STREQ(engine->sourceDir, "d:\\Vellomira");
    EXPECT_EQ(engine->installType, 5);

    fake::failCall(fake::Call::RegistryOpenKey);
    EXPECT_FALSE(engine->readRecord());
}

TEST_F(RegistrationRecord, StoredValuesNeverReachPastTheirFields) {
    // Longer than the field: refused before anything is placed.
    fill("old dir", "old cd", 5);
    fake::setRegistryText(recordKey, "Dir", std::string(300, 'x'));
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "old dir");

    // Exactly the field's size with no NUL in it: no room to end the text.
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryText,
                           std::vector<unsigned char>(260, 'y'));
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "");  // not left unended

    // Texts stored without their NUL are ended after the bytes read.
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryText, {'a', 'b', 'c'});
    fake::setRegistryText(recordKey, "CD", "e:");
    fake::setRegistryValue(recordKey, "InstType", platform::kRegistryDword, {1, 0, 0, 0});
    std::memset(engine->installDir, 'z', kPathCapacity - 1);
    ASSERT_TRUE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "abc");

    // Other types: a DWORD under "Dir" is its four bytes; a long text under
    // "InstType" does not fit its four bytes.
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryDword, {'W', 'X', 'Y', 'Z'});
    ASSERT_TRUE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "WXYZ");
    fake::setRegistryText(recordKey, "InstType", "twelve chars");
    EXPECT_FALSE(engine->readRecord());
}

TEST_F(RegistrationRecord, FailedStepsCloseTheKeyAndLeaveEarlierValues) {
    fill("c:\\Games", "d:\\Vellomira", 2);
    fake::failCall(fake::Call::RegistryCreateKey);
    EXPECT_FALSE(engine->writeRecord());
    EXPECT_FALSE(fake::registryKeyExists(recordKey));

    EXPECT_FALSE(engine->writeValue("Dir", platform::kRegistryText, "x", 2));  // no key open
    ASSERT_TRUE(engine->createKey(recordKey.c_str()));
    engine->closeKey();
    // A failed value write closes the key; the values written before stay.
    ASSERT_TRUE(engine->openKey(recordKey.c_str()));
    ASSERT_TRUE(engine->writeValue("Dir", platform::kRegistryText, "c:\\Games", 9));
    fake::failCall(fake::Call::RegistrySetValue);
    EXPECT_FALSE(engine->writeValue("CD", platform::kRegistryText, "d:", 3));
    EXPECT_EQ(engine->registryKey, nullptr);
    fake::RegistryValue value{0, {}};
    EXPECT_TRUE(fake::registryValue(recordKey, "Dir", value));
    EXPECT_FALSE(fake::registryValue(recordKey, "CD", value));

    EXPECT_TRUE(engine->deleteKey(recordKey.c_str()));
    EXPECT_FALSE(engine->deleteKey(recordKey.c_str()));
    EXPECT_FALSE(fake::registryKeyExists(recordKey));
}

TEST_F(RegistrationRecord, OpeningAKeyClosesTheOneOpen) {
    ASSERT_TRUE(engine->createKey("SOFTWARE\\A"));
    ASSERT_TRUE(engine->createKey("SOFTWARE\\B"));
    EXPECT_EQ(fake::openRegistryKeys(), 1);
    EXPECT_FALSE(engine->openKey("SOFTWARE\\Missing"));
    EXPECT_EQ(engine->registryKey, nullptr);
    EXPECT_EQ(fake::openRegistryKeys(), 0);
    char buffer[8];
    EXPECT_FALSE(engine->readValue("Dir", platform::kRegistryText, buffer, sizeof buffer));

    ASSERT_TRUE(engine->createKey("SOFTWARE\\A"));
    // The process-exit teardown closes a key left open.
    auto other = std::make_unique<SetupEngine>();
    ASSERT_TRUE(other->openKey("SOFTWARE\\B"));
    other.reset();
    engine->closeKey();
}

}  // namespace
