// Files, streams, folders and file times against the real system. (The
// program's own path, which leads each program to its data folder, is the
// stories'.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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
}

// While a stream writes a file, others may read it but not write it;
// writing over a file empties it, but an open that is refused leaves it
// whole. (Short reads at a file's end are every copy's, checked end to end.)
TEST(Streams, SharingAndRefusedOpens) {
    ScratchFolder folder;
    std::string path = folder.pathOf("data.bin");
    ASSERT_TRUE(writeWholeFile(path, "old bytes"));
    platform::Stream* out = platform::openStream(path.c_str(), "wb");
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(nullptr, platform::openStream(path.c_str(), "wb"));
    platform::Stream* in = platform::openStream(path.c_str(), "rb");
    EXPECT_TRUE(in != nullptr && platform::closeStream(in));
    EXPECT_EQ(3u, platform::writeStream(out, "new", 3));
    EXPECT_TRUE(platform::closeStream(out));
    HANDLE held = holdWithoutSharing(path);
    EXPECT_EQ(nullptr, platform::openStream(path.c_str(), "wb"));
    CloseHandle(held);
    EXPECT_EQ("new", readWholeFile(path));
}

// A folder's entries flushed (the update ignores a failure, so only this
// would see one), and names compared as the system compares them
// (full-width letters too). (The update's record and staged files, written
// through, and the system's SHA-256 of a signed release's files, which
// refuses a changed one, are checked end to end.)
TEST(FileOperations, FolderFlushAndNames) {
    ScratchFolder folder;
    EXPECT_TRUE(platform::flushFolderToDisk(folder.path().c_str()));
    EXPECT_TRUE(platform::sameFileName("ＡＢＣ.pac", "ａｂｃ.PAC"));
    EXPECT_FALSE(platform::sameFileName("表.pac", "衣.pac"));
}

// The system's copy over an existing file; attributes read and cleared; a
// failed call keeps the system's error (a read-only file is denied, a file
// held without sharing in use, and opens neither for its times nor to set
// them); a rename over an existing file; searches that tell files, folders
// and missing names apart; folders made once, changed into, and removed
// only when empty. (Times carried over are checked end to end.)
TEST(FileOperations, CopyAttributesRenameSearchAndFolders) {
    ScratchFolder folder;
    std::string source = folder.pathOf("new.txt"), target = folder.pathOf("old.txt");
    ASSERT_TRUE(writeWholeFile(source, "new contents"));
    ASSERT_TRUE(writeWholeFile(target, "old and longer contents"));
    EXPECT_TRUE(platform::systemCopyFile(source.c_str(), target.c_str()));
    EXPECT_EQ("new contents", readWholeFile(target));

    const uint32_t hidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), hidden));
    uint32_t attributes = 0;
    EXPECT_TRUE(platform::fileAttributes(target.c_str(), attributes));
    // Wine adds the archive bit to every file.
    EXPECT_EQ(hidden, attributes & ~static_cast<uint32_t>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(platform::deleteFile(target.c_str()));
    EXPECT_EQ(platform::ErrorKind::Denied, platform::errorKindOf(platform::lastError()));
    EXPECT_TRUE(platform::setAttributesNormal(target.c_str()));
    EXPECT_EQ(0u, GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
    HANDLE held = holdWithoutSharing(source);
    EXPECT_FALSE(platform::replaceFile(source.c_str(), target.c_str()));
    EXPECT_EQ(platform::ErrorKind::InUse, platform::errorKindOf(platform::lastError()));
    EXPECT_EQ(nullptr, platform::openTimeSource(source.c_str()));
    EXPECT_EQ(nullptr, platform::openTimeTarget(source.c_str()));
    CloseHandle(held);
    ASSERT_TRUE(writeWholeFile(source, "renamed"));
    EXPECT_TRUE(platform::replaceFile(source.c_str(), target.c_str()));
    EXPECT_EQ("renamed", readWholeFile(target));
    EXPECT_TRUE(platform::canOpenForReading(target.c_str()));
    EXPECT_FALSE(platform::canOpenForReading(source.c_str()));

    std::string sub = folder.pathOf("sub");
    char previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, previous));
    EXPECT_FALSE(platform::changeDirectory(sub.c_str()));
    EXPECT_TRUE(platform::makeDirectory(sub.c_str()));
    EXPECT_FALSE(platform::makeDirectory(sub.c_str()));
    EXPECT_TRUE(platform::changeDirectory(sub.c_str()));
    EXPECT_TRUE(writeWholeFile("inside.txt", "x"));
    EXPECT_TRUE(platform::changeDirectory(previous));
    const std::pair<std::string, platform::Presence> found[] = {
        {sub + "\\inside.txt", platform::Presence::File},
        {sub, platform::Presence::Folder},
        {source, platform::Presence::Missing},
        {folder.pathOf("no\\such.txt"), platform::Presence::Missing},
    };
    for (const auto& [path, presence] : found)
        EXPECT_EQ(presence, platform::findPath(path.c_str())) << path;
    EXPECT_FALSE(platform::removeDirectory(sub.c_str()));
    EXPECT_TRUE(platform::deleteFile((sub + "\\inside.txt").c_str()));
    EXPECT_TRUE(platform::removeDirectory(sub.c_str()));
}
