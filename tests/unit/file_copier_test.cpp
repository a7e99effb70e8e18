#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

const char kSource[] = "c:\\Data\\grd.pac";
const char kTarget[] = "c:\\Game\\grd.pac";

std::string pattern(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return text;
}

class FileCopierTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::makeFolder("c:\\Game");
    }
    // Copies a fresh source of the given size; returns copyFile's result.
    bool copyOf(size_t size) {
        fake::writeFile(kSource, pattern(size));
        return engine.copyFile(kTarget, kSource);
    }
    int fallbacks() { return fake::callCount(fake::Call::SystemCopyFile); }

    SetupEngine engine;
};

TEST_F(FileCopierTest, CopiesWholeBlocksAndCountsWhatItReads) {
    engine.bytesCopied = 1000;
    EXPECT_TRUE(copyOf(0));
    EXPECT_TRUE(fake::exists(kTarget));
    EXPECT_EQ("", fake::readFile(kTarget));
    EXPECT_EQ(1000u, engine.bytesCopied.load());

    int readsBefore = fake::callCount(fake::Call::ReadStream);
    EXPECT_TRUE(copyOf(65536));
    EXPECT_EQ(pattern(65536), fake::readFile(kTarget));
    EXPECT_EQ(readsBefore + 2, fake::callCount(fake::Call::ReadStream));  // 65,536, then 0
    EXPECT_EQ(1000u + 65536u, engine.bytesCopied.load());

    EXPECT_TRUE(copyOf(200000));
    EXPECT_EQ(pattern(200000), fake::readFile(kTarget));
    EXPECT_EQ(1000u + 65536u + 200000u, engine.bytesCopied.load());
    EXPECT_EQ(0, fallbacks());
    EXPECT_EQ(nullptr, engine.sourceStream);
    EXPECT_EQ(nullptr, engine.targetStream);

    // The running total wraps modulo 2^32.
    engine.bytesCopied = 0xFFFFFFF0u;
    EXPECT_TRUE(copyOf(200000));
    EXPECT_EQ(200000u - 0x10u, engine.bytesCopied.load());
}

TEST_F(FileCopierTest, CancelRequestIsSeenBeforeTheFirstBlockAndAfterFullBlocks) {
    fake::writeFile(kTarget, "old contents");
    engine.cancelState = kCancelRequested;
    EXPECT_TRUE(copyOf(200000));
    EXPECT_EQ("", fake::readFile(kTarget));
    EXPECT_EQ(kCancelSeenByCopier, engine.cancelState.load());
    EXPECT_EQ(0u, engine.bytesCopied.load());

    engine.cancelState = kCancelNone;
    fake::onWrite([this] { engine.cancelState = kCancelRequested; });
    EXPECT_TRUE(copyOf(200000));
    EXPECT_EQ(pattern(65536), fake::readFile(kTarget));
    EXPECT_EQ(kCancelSeenByCopier, engine.cancelState.load());
    EXPECT_EQ(65536u, engine.bytesCopied.load());
    EXPECT_EQ(0, fake::callCount(fake::Call::ExclusiveFileSize));  // no size check
    EXPECT_EQ(0, fallbacks());

    // Other states are left alone and still skip the size check.
    fake::onWrite(nullptr);
    engine.cancelState = kCancelSeenByWorker;
    EXPECT_TRUE(copyOf(100));
    EXPECT_EQ(kCancelSeenByWorker, engine.cancelState.load());
    EXPECT_EQ(0, fake::callCount(fake::Call::ExclusiveFileSize));
}

TEST_F(FileCopierTest, SizesFarApartSendTheFileToTheSystemCopy) {
    // The target reads 200,000 bytes; the source's size is shaped.
    fake::setReportedSize(kSource, 200000 + 65536);
    fake::writeFile(kSource, pattern(200000));
    EXPECT_TRUE(engine.copyFile(kTarget, kSource));
    EXPECT_EQ(0, fallbacks());

    fake::setReportedSize(kSource, 200000 + 65537);
    engine.bytesCopied = 5;
    EXPECT_TRUE(engine.copyFile(kTarget, kSource));
    EXPECT_EQ(1, fallbacks());
    EXPECT_EQ(5u + 200000u + 65537u, engine.bytesCopied.load());
    EXPECT_EQ(pattern(200000), fake::readFile(kTarget));

    // Sizes are the low 32 bits: 2^32 + 200,000 matches 200,000.
    fake::setReportedSize(kSource, (uint64_t{1} << 32) + 200000);
    EXPECT_TRUE(engine.copyFile(kTarget, kSource));
    EXPECT_EQ(1, fallbacks());
}

TEST_F(FileCopierTest, SizesNearTheTopOfTheRangeDoNotWrapAroundTheTolerance) {
    fake::writeFile(kSource, pattern(1000));
    fake::setReportedSize(kSource, 0xFFFFF000u);
    fake::setReportedSize(kTarget, 0xFFFFFFFFu);
    EXPECT_TRUE(engine.copyFile(kTarget, kSource));
    fake::setReportedSize(kSource, 0xFFFFFFFFu);
    fake::setReportedSize(kTarget, 0xFFFFF000u);
    EXPECT_TRUE(engine.copyFile(kTarget, kSource));
    EXPECT_EQ(0, fallbacks());

    fake::setReportedSize(kTarget, 0xFFFEFFFEu);  // 65,537 short
    EXPECT_TRUE(engine.copyFile(kTarget, kSource));
    EXPECT_EQ(1, fallbacks());
}

TEST_F(FileCopierTest, FilesThatCannotBeOpenedAreNotTouched) {
    engine.bytesCopied = 7;
    EXPECT_FALSE(engine.copyFile(kTarget, "c:\\Data\\missing.pac"));
    EXPECT_FALSE(fake::exists(kTarget));
    EXPECT_EQ(7u, engine.bytesCopied.load());

    fake::writeFile(kTarget, "old contents");
    fake::setReadOnly(kTarget, true);
    EXPECT_FALSE(copyOf(1000));
    EXPECT_EQ("old contents", fake::readFile(kTarget));
    EXPECT_EQ(7u, engine.bytesCopied.load());
    EXPECT_EQ(nullptr, engine.sourceStream);
    EXPECT_EQ(0, fallbacks());
}

TEST_F(FileCopierTest, FailedReadsAndWritesAreNeverTakenForAFinishedCopy) {
    // A read that fails after the first block is not the end of the file,
    // though the copy is within the size tolerance: the system copy redoes it.
    fake::onWrite([] {
        fake::failCall(fake::Call::ReadStream);
        fake::onWrite(nullptr);
    });
    EXPECT_TRUE(copyOf(100000));
    EXPECT_EQ(1, fallbacks());
    EXPECT_EQ(pattern(100000), fake::readFile(kTarget));

    // A short write within the size tolerance: the system copy completes it.
    fake::setDiskSpaceForWrites(500);
    engine.bytesCopied = 10;
    EXPECT_TRUE(copyOf(1000));
    EXPECT_EQ(2, fallbacks());
    EXPECT_EQ(pattern(1000), fake::readFile(kTarget));
    EXPECT_EQ(10u + 1000u, engine.bytesCopied.load());

    // Disk full, and the system copy fails too.
    fake::setDiskSpaceForWrites(100000);
    fake::failCall(fake::Call::SystemCopyFile, -1);
    EXPECT_FALSE(copyOf(200000));
    EXPECT_NE(pattern(200000), fake::readFile(kTarget));

    // The target's data cannot be written out when it is closed.
    fake::setDiskSpaceForWrites(-1);
    fake::failCall(fake::Call::CloseStream, 2);
    EXPECT_FALSE(copyOf(1000));
    EXPECT_EQ(nullptr, engine.targetStream);

    // A cancelled copy is reported as done even when its write failed.
    fake::setDiskSpaceForWrites(0);
    fake::onWrite([this] { engine.cancelState = kCancelRequested; });
    EXPECT_TRUE(copyOf(200000));
}

}  // namespace
