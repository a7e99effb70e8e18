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
    // Every key opened was closed, by the engine's teardown at the latest.
    void TearDown() override {
        engine.reset();
        EXPECT_EQ(fake::openRegistryKeys(), 0);
    }

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

// A text is stored with its NUL and the byte after it, but never with bytes
// beyond its field, so that one of the field's full length reads back.
TEST_F(RegistrationRecord, WriteThenReadRestoresAllThreeValues) {
    struct {
        std::string dir, cd;
        int32_t type;
        size_t dirBytes, cdBytes;
    } const cases[] = {{"c:\\Program Files\\Torvane\\Vellomira", "d:\\Vellomira", 2, 36, 14},
                       {std::string(258, 'd'), std::string(259, 'c'), 1, 260, 260}};
    for (const auto& c : cases) {
        fill(c.dir, c.cd, c.type);
        ASSERT_TRUE(engine->writeRecord());
        fake::RegistryValue dir = stored("Dir");
        EXPECT_EQ(dir.type, platform::kRegistryText);
        EXPECT_EQ(dir.data.size(), c.dirBytes);
        EXPECT_EQ(stored("CD").data.size(), c.cdBytes);
        EXPECT_EQ(stored("CD").data.back(), 0);
        fake::RegistryValue type = stored("InstType");
        EXPECT_EQ(type.type, platform::kRegistryDword);
        EXPECT_EQ(type.data, (std::vector<unsigned char>{static_cast<unsigned char>(c.type), 0, 0, 0}));
        fill("", "", 0);
        ASSERT_TRUE(engine->readRecord());
        EXPECT_EQ(std::string(engine->installDir), c.dir);
        EXPECT_EQ(std::string(engine->sourceDir), c.cd);
        EXPECT_EQ(engine->installType, c.type);
    }
    ASSERT_TRUE(engine->writeRecordAt("SOFTWARE\\Other\\Place"));
    EXPECT_TRUE(fake::registryKeyExists("software\\other\\place"));
    EXPECT_TRUE(engine->readRecordAt("SOFTWARE\\OTHER\\PLACE"));
}

// A read that fails keeps what was read before it, and a stored value never
// reaches past its field.
TEST_F(RegistrationRecord, MissingPartialOrOversizedValuesFail) {
    fill("old dir", "old cd", 5);
    EXPECT_FALSE(engine->readRecord());
    fake::setRegistryText(recordKey, "Dir", std::string(300, 'x'));
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "old dir");

    fake::setRegistryText(recordKey, "Dir", "c:\\Games");
    fake::setRegistryText(recordKey, "CD", "d:\\Vellomira");
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "c:\\Games");
    EXPECT_STREQ(engine->sourceDir, "d:\\Vellomira");
    EXPECT_EQ(engine->installType, 5);

    // Exactly the field's size with no NUL in it: no room to end the text.
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryText,
                           std::vector<unsigned char>(260, 'y'));
    EXPECT_FALSE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "");  // not left unended

    // Texts stored without their NUL are ended after the bytes read; a DWORD
    // under "Dir" is its four bytes; a long text under "InstType" does not fit.
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryText, {'a', 'b', 'c'});
    fake::setRegistryValue(recordKey, "InstType", platform::kRegistryDword, {1, 0, 0, 0});
    std::memset(engine->installDir, 'z', kPathCapacity - 1);
    ASSERT_TRUE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "abc");
    fake::setRegistryValue(recordKey, "Dir", platform::kRegistryDword, {'W', 'X', 'Y', 'Z'});
    ASSERT_TRUE(engine->readRecord());
    EXPECT_STREQ(engine->installDir, "WXYZ");
    fake::setRegistryText(recordKey, "InstType", "twelve chars");
    EXPECT_FALSE(engine->readRecord());
    fake::failCall(fake::Call::RegistryOpenKey);
    EXPECT_FALSE(engine->readRecord());
}

// Opening a key closes the one open; a failed step closes the key, and the
// values written before it stay.
TEST_F(RegistrationRecord, FailedStepsCloseTheKeyAndLeaveEarlierValues) {
    fill("c:\\Games", "d:\\Vellomira", 2);
    fake::failCall(fake::Call::RegistryCreateKey);
    EXPECT_FALSE(engine->writeRecord());
    EXPECT_FALSE(fake::registryKeyExists(recordKey));
    EXPECT_FALSE(engine->writeValue("Dir", platform::kRegistryText, "x", 2));  // no key open

    ASSERT_TRUE(engine->createKey("SOFTWARE\\A"));
    ASSERT_TRUE(engine->createKey(recordKey.c_str()));
    EXPECT_EQ(fake::openRegistryKeys(), 1);
    ASSERT_TRUE(engine->openKey(recordKey.c_str()));
    EXPECT_EQ(fake::openRegistryKeys(), 1);
    ASSERT_TRUE(engine->writeValue("Dir", platform::kRegistryText, "c:\\Games", 9));
    fake::failCall(fake::Call::RegistrySetValue);
    EXPECT_FALSE(engine->writeValue("CD", platform::kRegistryText, "d:", 3));
    EXPECT_EQ(engine->registryKey, nullptr);
    fake::RegistryValue value{0, {}};
    EXPECT_TRUE(fake::registryValue(recordKey, "Dir", value));
    EXPECT_FALSE(fake::registryValue(recordKey, "CD", value));

    ASSERT_TRUE(engine->openKey(recordKey.c_str()));
    EXPECT_FALSE(engine->openKey("SOFTWARE\\Missing"));
    EXPECT_EQ(engine->registryKey, nullptr);
    EXPECT_EQ(fake::openRegistryKeys(), 0);
    char buffer[8];
    EXPECT_FALSE(engine->readValue("Dir", platform::kRegistryText, buffer, sizeof buffer));

    EXPECT_TRUE(engine->deleteKey(recordKey.c_str()));
    EXPECT_FALSE(engine->deleteKey(recordKey.c_str()));
    EXPECT_FALSE(fake::registryKeyExists(recordKey));
    ASSERT_TRUE(engine->createKey("SOFTWARE\\A"));  // left open for the teardown
}

}  // namespace
