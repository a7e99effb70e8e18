// Files, streams, folders, file times and the program's own path against the
// real system.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace {

HANDLE holdWithoutSharing(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TEST(ExclusiveFileSize, ReportsLowPartOnlyWhileNobodyHoldsTheFile) {
    ScratchFolder folder;
    std::string big = folder.pathOf("big.pac");
    // A sparse file of 5,000,000,000 bytes.
    HANDLE file = CreateFileA(big.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 5000000000LL;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);

    uint32_t size = 1;
    EXPECT_TRUE(platform::exclusiveFileSize(big.c_str(), size));
    EXPECT_EQ(705032704u, size);
    HANDLE held = holdWithoutSharing(big);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    size = 7;
    EXPECT_FALSE(platform::exclusiveFileSize(big.c_str(), size));
    EXPECT_EQ(7u, size);
    CloseHandle(held);
    // The failed attempt left no handle behind: the file opens again.
    EXPECT_TRUE(platform::exclusiveFileSize(big.c_str(), size));
    EXPECT_FALSE(platform::exclusiveFileSize(folder.pathOf("missing").c_str(), size));
}

TEST(Streams, WriteReadRoundTripAndShortTransfers) {
    ScratchFolder folder;
    std::string path = folder.pathOf("data.bin");
    std::vector<char> data(200000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    platform::Stream* out = platform::openStream(path.c_str(), "wb");
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(data.size(), platform::writeStream(out, data.data(), data.size()));
    EXPECT_TRUE(platform::closeStream(out));

    platform::Stream* in = platform::openStream(path.c_str(), "rb");
    ASSERT_NE(nullptr, in);
    // Room for a whole block past the end: the system reads into all of it.
    std::vector<char> back(data.size() + 65536);
    size_t total = 0;
    for (size_t n; (n = platform::readStream(in, back.data() + total, 65536)) > 0;) {
        total += n;
        if (n < 65536) break;
    }
    EXPECT_EQ(data.size(), total);
    EXPECT_EQ(0, std::memcmp(data.data(), back.data(), data.size()));
    EXPECT_EQ(0u, platform::readStream(in, back.data(), 10));
    EXPECT_TRUE(platform::closeStream(in));
    // A stream opened for reading takes no writes (how its close then ends
    // differs between runtimes).
    in = platform::openStream(path.c_str(), "rb");
    ASSERT_NE(nullptr, in);
    EXPECT_EQ(0u, platform::writeStream(in, data.data(), 10));
    platform::closeStream(in);
    EXPECT_FALSE(platform::closeStream(nullptr));
    EXPECT_EQ(nullptr, platform::openStream(folder.pathOf("missing").c_str(), "rb"));
    EXPECT_EQ(nullptr, platform::openStream(folder.pathOf("no\\such\\x").c_str(), "wb"));

    // Writing over an existing file empties it first; while it is written,
    // others may read it but not write it. A refused open leaves it whole.
    out = platform::openStream(path.c_str(), "wb");
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(nullptr, platform::openStream(path.c_str(), "wb"));
    platform::Stream* reader = platform::openStream(path.c_str(), "rb");
    EXPECT_NE(nullptr, reader);
    platform::closeStream(reader);
    EXPECT_EQ(3u, platform::writeStream(out, "new", 3));
    EXPECT_TRUE(platform::closeStream(out));
    HANDLE held = holdWithoutSharing(path);
    EXPECT_EQ(nullptr, platform::openStream(path.c_str(), "wb"));
    CloseHandle(held);
    EXPECT_EQ("new", readWholeFile(path));
}

TEST(FileOperations, RecordsSizesAndNamesAsTheUpdateNeedsThem) {
    ScratchFolder folder;
    std::string record = folder.pathOf("record.txt");
    EXPECT_TRUE(platform::writeFileToDisk(record.c_str(), "+a.pac\r\n", 8));
    uint64_t size = 0;
    EXPECT_EQ(platform::Presence::File, platform::findPath(record.c_str(), &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ("+a.pac\r\n", readWholeFile(record));
    EXPECT_FALSE(platform::writeFileToDisk(folder.pathOf("no\\such\\x").c_str(), "x", 1));

    // Flushed to the disk: a file and a folder that are there.
    EXPECT_TRUE(platform::flushFileToDisk(record.c_str()));
    EXPECT_TRUE(platform::flushFolderToDisk(folder.path().c_str()));
    EXPECT_FALSE(platform::flushFileToDisk(folder.pathOf("missing").c_str()));

    // The system's SHA-256, of bytes given in pieces.
    unsigned char digest[platform::kSha256Bytes];
    platform::Sha256* sha = platform::startSha256();
    ASSERT_NE(nullptr, sha);
    EXPECT_TRUE(platform::addToSha256(sha, "a", 1) && platform::addToSha256(sha, "bc", 2));
    ASSERT_TRUE(platform::finishSha256(sha, digest));
    EXPECT_EQ(0xba, digest[0]);
    EXPECT_EQ(0xad, digest[31]);

    // Letter case aside, full-width letters too, as the system compares.
    EXPECT_TRUE(platform::sameFileName("ＡＢＣ.pac", "ａｂｃ.PAC"));
    EXPECT_FALSE(platform::sameFileName("表.pac", "衣.pac"));
}

TEST(FileOperations, CopyAttributesSearchAndDelete) {
    ScratchFolder folder;
    std::string source = folder.pathOf("new.txt"), target = folder.pathOf("old.txt");
    ASSERT_TRUE(writeWholeFile(source, "new contents"));
    ASSERT_TRUE(writeWholeFile(target, "old and longer contents"));
    EXPECT_TRUE(platform::systemCopyFile(source.c_str(), target.c_str()));
    EXPECT_EQ("new contents", readWholeFile(target));
    EXPECT_FALSE(platform::systemCopyFile(folder.pathOf("missing").c_str(), target.c_str()));

    ASSERT_TRUE(platform::setFileAttributes(target.c_str(),
                                            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(platform::deleteFile(target.c_str()));
    // A failed call keeps the system's error: a read-only file is denied, a
    // file held open without sharing is in use.
    EXPECT_EQ(platform::ErrorKind::Denied, platform::errorKindOf(platform::lastError()));
    HANDLE held = holdWithoutSharing(source);
    EXPECT_FALSE(platform::replaceFile(source.c_str(), folder.pathOf("moved.txt").c_str()));
    EXPECT_EQ(platform::ErrorKind::InUse, platform::errorKindOf(platform::lastError()));
    CloseHandle(held);
    uint32_t attributes = 0;
    EXPECT_TRUE(platform::fileAttributes(target.c_str(), attributes));
    // Wine adds the archive bit to every file.
    EXPECT_EQ(static_cast<uint32_t>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              attributes & ~static_cast<uint32_t>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(platform::setAttributesNormal(target.c_str()));
    EXPECT_EQ(0u, GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(platform::canOpenForReading(target.c_str()));
    EXPECT_EQ(platform::Presence::File, platform::findPath(target.c_str()));
    EXPECT_TRUE(platform::deleteFile(target.c_str()));
    EXPECT_EQ(platform::Presence::Missing, platform::findPath(target.c_str()));
    EXPECT_FALSE(platform::canOpenForReading(target.c_str()));
    EXPECT_FALSE(platform::deleteFile(target.c_str()));
    EXPECT_FALSE(platform::setAttributesNormal(target.c_str()));

    // Folders: made once, changed into, removed only when empty.
    std::string sub = folder.pathOf("sub");
    char previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, previous));
    EXPECT_TRUE(platform::makeDirectory(sub.c_str()));
    EXPECT_FALSE(platform::makeDirectory(sub.c_str()));
    EXPECT_TRUE(platform::changeDirectory(sub.c_str()));
    EXPECT_TRUE(writeWholeFile("inside.txt", "x"));
    EXPECT_EQ(platform::Presence::File, platform::findPath((sub + "\\inside.txt").c_str()));
    EXPECT_TRUE(platform::changeDirectory(previous));
    EXPECT_FALSE(platform::changeDirectory(folder.pathOf("missing").c_str()));
    EXPECT_FALSE(platform::removeDirectory(sub.c_str()));
    EXPECT_TRUE(platform::deleteFile((sub + "\\inside.txt").c_str()));
    EXPECT_TRUE(platform::removeDirectory(sub.c_str()));
    EXPECT_EQ(platform::Presence::Missing, platform::findPath(sub.c_str()));
}

TEST(FileTimes, AccessAndWriteTimesCarryOverAndOpensRespectSharing) {
    ScratchFolder folder;
    std::string path = folder.pathOf("timed.txt");
    ASSERT_TRUE(writeWholeFile(path, "x"));
    // 2001-02-03 and 2002-03-04, as FILETIME values.
    const platform::FileTimes wanted = {126256320000000000ULL, 126256320000000000ULL,
                                        126596736000000000ULL};
    platform::FileHandle target = platform::openTimeTarget(path.c_str());
    ASSERT_NE(nullptr, target);
    EXPECT_TRUE(platform::writeFileTimes(target, wanted));
    platform::closeFile(target);

    platform::FileHandle source = platform::openTimeSource(path.c_str());
    ASSERT_NE(nullptr, source);
    platform::FileTimes read = {};
    EXPECT_TRUE(platform::readFileTimes(source, read));
    EXPECT_EQ(wanted.lastAccess, read.lastAccess);
    EXPECT_EQ(wanted.lastWrite, read.lastWrite);
    // A source open for reading lets others read, but not write.
    platform::FileHandle second = platform::openTimeSource(path.c_str());
    EXPECT_NE(nullptr, second);
    platform::closeFile(second);
    EXPECT_EQ(nullptr, platform::openTimeTarget(path.c_str()));
    platform::closeFile(source);

    HANDLE held = holdWithoutSharing(path);
    EXPECT_EQ(nullptr, platform::openTimeTarget(path.c_str()));
    EXPECT_EQ(nullptr, platform::openTimeSource(path.c_str()));
    CloseHandle(held);
    EXPECT_EQ(nullptr, platform::openTimeSource(folder.pathOf("missing").c_str()));
    platform::closeFile(nullptr);
}

TEST(ModuleFileName, FullPathOrFalseWhenCut) {
    char path[MAX_PATH];
    ASSERT_TRUE(platform::moduleFileName(path, sizeof path));
    std::string name = path;
    ASSERT_GT(name.size(), 15u);
    EXPECT_EQ(0, _stricmp(name.c_str() + name.size() - 15, "win32_tests.exe"));
    EXPECT_EQ(':', name[1]);
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_FALSE(platform::moduleFileName(small, sizeof small));
    EXPECT_EQ(7u, std::strlen(small));
    EXPECT_FALSE(platform::moduleFileName(small, 0));
}
