#include <gtest/gtest.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"
#include "transfer/checksum_file.h"
#include "transfer/checksums.h"
#include "transfer/release_manifest.h"

namespace {

const char kDataFolder[] = "c:\\Setup\\Vellomira\\";
const char kInstallFolder[] = "c:\\Games\\Vellomira";
const char kChecksumFile[] = "c:\\Setup\\Vellomira\\update.sfv";
const char kCompleted[] = "アップデートが完了しました。";
const char kNothingChanged[] = "ゲームのファイルは変更されていません。";
const char kDamaged[] = "\nが壊れているか、見つかりません。";
const char kNotPutBack[] = "を元に戻せませんでした。";
const char kFilesUnknown[] = "アップデートするファイルの場所がわかりません。";
const platform::FileTimes kSourceTimes{111, 222, 333};
const platform::FileTimes kOldTimes{1, 2, 3};
// What the program keeps in the game folder while it updates.
const char* const kLeftovers[] = {"~UPDATE.NEW", "~UPDATE.OLD", "~UPDATE.LOG", "~UPDATE.TMP"};

// A new file's contents; one takes several copy blocks (and, where a test
// says so, several chunks of the checksum thread), and as it does not
// compress, its patch takes several reads.
size_t largeFileBytes = 200000;
std::string newContents(const std::string& name) {
    std::string bytes = "new " + name;
    for (uint32_t at = 0, seed = 1; name == "vic.pac" && at < largeFileBytes; ++at)
        bytes += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return bytes;
}

std::string sourceOf(const std::string& name) { return kDataFolder + name; }
std::string targetOf(const std::string& name) { return std::string(kInstallFolder) + "\\" + name; }

void removeDataFolder() { std::filesystem::remove_all(fake::hostPath(kDataFolder)); }

// The line the release's packager writes for a source.
std::string checksumLine(const std::string& name) {
    std::string contents = fake::readFile(sourceOf(name));
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(contents.data()),
                      static_cast<uInt>(contents.size()));
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(crc));
    return name + " " + digits + "\r\n";
}

// What the release says of its files: nothing, its checksum file, or the
// manifest inside the program (beside a checksum file it must not read),
// of a full release or of a patch release from the game's old files.
enum class Checks { None, ChecksumFile, Manifest, Patch };

// A zstd patch that makes now of old, as the packager's `zstd --patch-from`.
std::string makePatch(const std::string& old, const std::string& now) {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_refPrefix(context, old.data(), old.size());
    std::string patch(ZSTD_compressBound(now.size()), '\0');
    patch.resize(ZSTD_compress2(context, patch.data(), patch.size(), now.data(), now.size()));
    ZSTD_freeCCtx(context);
    return patch;
}

std::string sizeAndSha256(const std::string& bytes) {
    return std::to_string(bytes.size()) + " " + fake::sha256Hex(bytes);
}

class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::setModuleFileName("c:\\Setup\\update.exe");
        engine.installFiles = SetupEngine::replaceFileList(nullptr, ProductConfig::installList);
        engine.updateFiles = SetupEngine::replaceFileList(nullptr, ProductConfig::updateList);
        copyText(engine.dataFolder, sizeof engine.dataFolder, "Vellomira");
        copyText(engine.installDir, sizeof engine.installDir, kInstallFolder);
        engine.dialogWindow = &dialog;
        largeFileBytes = 200000;
    }
    // The manifest of the data folder's files, in the program: a file it
    // does not hold is patched from the game's old file by "<name>.1.zst".
    void useManifest(const std::vector<std::string>& names) {
        manifest = "release manifest 1\r\ntitle Vellomira\r\ndata Vellomira\r\nrelease 1\r\n";
        for (const std::string& name : names) {
            if (manifest.find(" " + name + "\r\n") != std::string::npos) continue;
            if (fake::exists(sourceOf(name))) {
                manifest += "file " + sizeAndSha256(fake::readFile(sourceOf(name))) + " " + name + "\r\n";
                continue;
            }
            manifest += "patched " + sizeAndSha256(newContents(name)) + " " + name + "\r\nfrom " +
                        sizeAndSha256("old") + " " +
                        sizeAndSha256(fake::readFile(sourceOf(name + ".1.zst"))) + " " + name +
                        ".1.zst\r\n";
        }
        manifest += "end\r\n";
        engine.useReleaseManifest(manifest.data(), manifest.size());
    }
    void editManifest(size_t at, size_t length, const std::string& text) {
        manifest.replace(at, length, text);
        engine.useReleaseManifest(manifest.data(), manifest.size());
    }
    // Every listed name, with new files in the data folder and old ones in
    // the install folder, and what the release says of them.
    std::vector<std::string> prepareGame(Checks checks = Checks::None) {
        engine.hasReleaseManifest = false;
        copyText(engine.productName, sizeof engine.productName, "Vellomira");
        std::vector<std::string> names;
        std::string lines = "; made by the release's packager\r\n";
        for (const char* const* list : {static_cast<const char* const*>(ProductConfig::installList),
                                        ProductConfig::updateList}) {
            for (const char* const* name = list; *name != nullptr; ++name) {
                fake::writeFile(sourceOf(*name), newContents(*name));
                fake::setTimes(sourceOf(*name), kSourceTimes);
                fake::writeFile(targetOf(*name), "old");
                fake::setTimes(targetOf(*name), kOldTimes);
                names.push_back(*name);
                lines += checksumLine(*name);
            }
        }
        if (checks == Checks::ChecksumFile) fake::writeFile(kChecksumFile, lines);
        // The patch release ships the first file whole and patches for the rest.
        for (size_t at = 1; checks == Checks::Patch && at < names.size(); ++at) {
            std::remove(fake::hostPath(sourceOf(names[at])).c_str());
            fake::writeFile(sourceOf(names[at] + ".1.zst"), makePatch("old", newContents(names[at])));
            fake::setTimes(sourceOf(names[at] + ".1.zst"), kSourceTimes);
        }
        if (checks == Checks::Manifest || checks == Checks::Patch) {
            useManifest(names);
            fake::writeFile(kChecksumFile, "a.pac 00000000\r\n");
        }
        listed = names;
        return names;
    }
    void expectUpdated(const std::string& name) {
        SCOPED_TRACE(name);
        EXPECT_EQ(newContents(name), fake::readFile(targetOf(name)));
        EXPECT_FALSE(fake::isReadOnly(targetOf(name)));
        platform::FileTimes times = fake::times(targetOf(name));
        EXPECT_EQ(kSourceTimes.creation, times.creation);
        EXPECT_EQ(kSourceTimes.lastAccess, times.lastAccess);
        EXPECT_EQ(kSourceTimes.lastWrite, times.lastWrite);
    }
    // A game file not touched (a folder in its place stays one).
    void expectNotUpdated(const std::string& name) {
        SCOPED_TRACE(name);
        if (std::filesystem::is_directory(fake::hostPath(targetOf(name)))) return;
        EXPECT_EQ("old", fake::readFile(targetOf(name)));
        EXPECT_EQ(kOldTimes.lastWrite, fake::times(targetOf(name)).lastWrite);
    }
    void expectNoLeftovers() {
        for (const char* name : kLeftovers) EXPECT_FALSE(fake::exists(targetOf(name))) << name;
    }
    // The one message shown: the completion, or a warning holding `part`.
    void expectOnlyMessage(const std::string& part, const std::string& caption) {
        std::vector<fake::ShownMessage> shown = fake::shownMessages();
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ(&dialog, shown[0].owner);
        EXPECT_NE(std::string::npos, shown[0].text.find(part)) << shown[0].text;
        EXPECT_EQ(caption, shown[0].caption);
        EXPECT_EQ(0x30u, shown[0].flags);
    }
    void expectCompleted() { expectOnlyMessage(kCompleted, "終了"); }
    void expectWarning(const std::string& part) {
        expectOnlyMessage(part, "確認");
        EXPECT_EQ(std::string::npos, fake::shownMessages()[0].text.find(kCompleted));
    }

    int dialog = 0;
    SetupEngine engine;
    std::string manifest;
    std::vector<std::string> listed;
};

TEST_F(UpdateRunTest, UpdatesEveryListedFileWithTheSourcesTimes) {
    largeFileBytes = 3700000;
    for (Checks checks : {Checks::None, Checks::ChecksumFile, Checks::Manifest, Checks::Patch}) {
        SCOPED_TRACE(static_cast<int>(checks));
        fake::reset();
        std::vector<std::string> names = prepareGame(checks);
        fake::setReadOnly(targetOf("grd.pac"), true);
        fake::writeFile(targetOf("~UPDATE.TMP"), "stale");  // an earlier version's, read-only
        fake::setReadOnly(targetOf("~UPDATE.TMP"), true);
        copyText(engine.sourceDir, sizeof engine.sourceDir, "d:\\Vellomira");
        // A volume that keeps no file index cannot tell two folders apart.
        if (checks != Checks::None) fake::reportNoFileIndex();
        // Where no thread can start, the checksums are computed on the
        // copier's own.
        if (checks == Checks::Manifest) fake::failCall(fake::Call::StartThread, -1);
        // The system's copy redoes one file, read-only on the disc: its
        // checksum is read anew, its attribute cleared.
        fake::setReportedSize(sourceOf("se.pac"), 1 << 20);
        fake::setReadOnly(sourceOf("se.pac"), true);

        EXPECT_TRUE(engine.runUpdate());
        for (const std::string& name : names) expectUpdated(name);
        expectCompleted();
        EXPECT_STREQ("c:\\Setup", engine.sourceDir);
        expectNoLeftovers();
        // 38 names, of which six stand in both lists: 32 files, each read
        // once, checked as it is copied; the one the system's copy redid is
        // read again, and the checksum file only without a manifest.
        // A patch release reads each patched game file and its patch first.
        const int opens[] = {2 * 32, 2 * 32 + 2, 2 * 32 + 1, 2 * 32 + 2 * 31};
        EXPECT_EQ(opens[static_cast<int>(checks)], fake::callCount(fake::Call::OpenStream));
    }
    // Run again, the patch release finds every file at the new version: the
    // completion, and nothing written.
    int writes = fake::callCount(fake::Call::WriteStream);
    EXPECT_TRUE(engine.runUpdate());
    EXPECT_EQ(writes, fake::callCount(fake::Call::WriteStream));
    // A game file missing that it does not ship whole is of no version it
    // knows.
    std::remove(fake::hostPath(targetOf("se.pac")).c_str());
    EXPECT_FALSE(engine.runUpdate());
    EXPECT_NE(std::string::npos, fake::shownMessages().back().text.find(
                                     "se.pac\nは、このパッチが対象とするバージョン"));
}

// Whatever stops an update, before or during its replace step, leaves every
// game file old, with its attributes, and names the file that stopped it.
TEST_F(UpdateRunTest, AnUpdateThatCannotFinishLeavesEveryFileOld) {
    struct Row {
        const char* what;
        Checks checks;
        std::function<void()> fault;
        std::string expected;
    };
    const std::string first = ProductConfig::installList[0];
    const Row rows[] = {
        {"the game holds a read-only file", Checks::None,
         [] {
             fake::holdOpen(targetOf("vic.pac"));
             fake::setReadOnly(targetOf("vic.pac"), true);
         },
         "vic.pac\nを置き換えられませんでした。"},
        {"the system denies a rename", Checks::None,
         [] { fake::failCall(fake::Call::ReplaceFile, 1, 3, 5); },
         "grd.pac\nを置き換えることが許可されていません。"},
        {"a game file's place cannot be searched", Checks::None,
         [] { fake::failCallFor(fake::Call::FindPath, targetOf("se.pac")); },
         "se.pac\nを更新できませんでした。"},
        {"a folder stands in a game file's place", Checks::None,
         [] { std::remove(fake::hostPath(targetOf("se.pac")).c_str()), fake::makeFolder(targetOf("se.pac")); },
         "se.pac\nがファイルではなく、フォルダになっています。"},
        // No data folder beside the program (run from inside its archive,
        // or copied alone), one the system cannot search, a file in its
        // place, or one without any listed file.
        {"a data folder that cannot be searched", Checks::None,
         [] { fake::failCallFor(fake::Call::FindPath, "c:\\Setup\\Vellomira"); }, kFilesUnknown},
        {"no listed file in the data folder", Checks::None,
         [] { removeDataFolder(), fake::writeFile(sourceOf("unlisted.pac"), "new"); }, kFilesUnknown},
        {"the record cannot be written", Checks::None,
         [] { fake::failCall(fake::Call::WriteFileToDisk); }, "~UPDATE.LOG\nを作成できませんでした。"},
        {"the backup folder cannot be made", Checks::None,
         [] { fake::failCallFor(fake::Call::MakeDirectory, targetOf("~UPDATE.OLD")); },
         "~UPDATE.OLD\nを作成できませんでした。"},
        {"the record cannot be removed, with a file the release lacks", Checks::None,
         // The commit's delete, after the two of the clean-up at the start.
         [] {
             fake::failCall(fake::Call::DeleteFile, 1, 2);
             std::remove(fake::hostPath(sourceOf("srp_6.pac")).c_str());
         },
         kNothingChanged},
        {"the disk fills up while the checksums run", Checks::Manifest,
         [this] {
             fake::writeFile(sourceOf("mus.pac"), std::string(200000, 'm'));
             useManifest(listed);
             fake::setDiskSpaceForWrites(100000);
             fake::failCall(fake::Call::SystemCopyFile, -1, 0, 112);
         },
         "\nを書き込む途中で、ドライブの空き容量がなくなりました。"},
        {"a source cannot be searched for", Checks::None,
         [] { fake::failCallFor(fake::Call::FindPath, sourceOf("srp_6.pac")); },
         "srp_6.pac\nを更新できませんでした。"},
        {"the times cannot be set", Checks::None,
         [] { fake::failCall(fake::Call::OpenTimeTarget); }, first + "\nを更新できませんでした。"},
        {"the times cannot be read", Checks::None,
         [] { fake::failCall(fake::Call::OpenTimeSource); }, first + "\nを更新できませんでした。"},
        {"the staging folder cannot be made", Checks::None,
         [] { fake::failCall(fake::Call::MakeDirectory); }, "~UPDATE.NEW\nを作成できませんでした。"},
        {"a staged file cannot be written through to the disk", Checks::None,
         [] { fake::failCall(fake::Call::FlushFileToDisk, 1, 3); }, "\nを更新できませんでした。"},
        {"too little room for the staged files", Checks::None,
         [] { fake::setFreeBytes(4096 * 30); }, "約1Mの空き容量が必要です。"},
        {"a damaged source, which the system's copy redid", Checks::ChecksumFile,
         [] {
             fake::writeFile(sourceOf("mus.pac"), "new mus.paX");
             fake::setReportedSize(sourceOf("mus.pac"), 1 << 20);
         },
         "mus.pac" + std::string(kDamaged)},
        {"a listed file the checksum file lacks", Checks::ChecksumFile,
         [] {
             std::string lines = fake::readFile(kChecksumFile);
             fake::writeFile(kChecksumFile, lines.substr(0, lines.rfind("srp_6.pac")));
         },
         "srp_6.pac" + std::string(kDamaged)},
        {"a checksum file larger than any release's", Checks::ChecksumFile,
         [] { fake::writeFile(kChecksumFile, std::string((1 << 20) + 1, ';')); },
         "update.sfv" + std::string(kDamaged)},
        // With the manifest inside the program, a file must have its size
        // and SHA-256, whatever the checksum file beside it says.
        {"a listed file the manifest lacks", Checks::Manifest,
         [this] {
             size_t end = manifest.find(" srp_6.pac\r\n");
             size_t begin = manifest.rfind("\r\n", end) + 2;
             editManifest(begin, end + 12 - begin, "");
         },
         "srp_6.pac" + std::string(kDamaged)},
        {"a source of another size", Checks::Manifest,
         [] { fake::writeFile(sourceOf("mus.pac"), "new mus.pac!"); },
         "mus.pac" + std::string(kDamaged)},
        {"a listed file missing, with a manifest", Checks::Manifest,
         [] { std::remove(fake::hostPath(sourceOf("srp_6.pac")).c_str()); },
         "srp_6.pac" + std::string(kDamaged)},
        {"a manifest naming a file of no list", Checks::Manifest,
         [this] {
             editManifest(manifest.rfind("end"), 0, "file 1 " + std::string(64, '0') + " x.pac\r\n");
         },
         "x.pac" + std::string(kDamaged)},
        {"another product's manifest", Checks::Manifest,
         [this] { copyText(engine.productName, sizeof engine.productName, "Other"); },
         "update.exe" + std::string(kDamaged)},
        // A patch release: the game file must be of a version it knows, and
        // a patch must be the manifest's, one whole frame.
        {"a game file of a version the patch release does not know", Checks::Patch,
         [this] { editManifest(manifest.find(fake::sha256Hex("old")), 64, std::string(64, '0')); },
         "は、このパッチが対象とするバージョンのファイルではありません。"},
        {"a patch changed", Checks::Patch,
         [] { fake::writeFile(sourceOf("se.pac.1.zst"), makePatch("old", "new se.paX")); },
         "se.pac.1.zst" + std::string(kDamaged)},
        {"a patch with bytes after its frame", Checks::Patch,
         [this] {
             fake::writeFile(sourceOf("se.pac.1.zst"), makePatch("old", "new se.pac") + "x");
             useManifest(listed);
         },
         "se.pac.1.zst" + std::string(kDamaged)},
        {"a patch that does not decode", Checks::Patch,
         [] { fake::writeFile(sourceOf("se.pac.1.zst"), "not a zstd frame"); },
         "se.pac.1.zst" + std::string(kDamaged)},
        {"no SHA-256 from the system", Checks::Manifest,
         [] { fake::failCall(fake::Call::StartSha256, 1, 2); }, "\nを更新できませんでした。"},
        {"a SHA-256 the system does not finish", Checks::Manifest,
         [] { fake::failCall(fake::Call::FinishSha256); }, "\nを更新できませんでした。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fake::reset();
        std::vector<std::string> names = prepareGame(row.checks);
        fake::setReadOnly(targetOf("grd.pac"), true);
        row.fault();
        EXPECT_FALSE(engine.runUpdate());
        for (const std::string& name : names) expectNotUpdated(name);
        EXPECT_TRUE(fake::isReadOnly(targetOf("grd.pac")));
        expectWarning(row.expected);
        expectNoLeftovers();
    }
}

// A run killed in its replace step (simulated: every rename and delete
// fails from some point on) is put back at the next start, before any
// question.
TEST_F(UpdateRunTest, TheNextStartPutsBackAnUpdateThatWasKilled) {
    const char* const list[] = {"a.pac", "b.pac", "c.pac", nullptr};
    auto prepare = [this, &list] {
        fake::reset();
        engine.installFiles = SetupEngine::replaceFileList(engine.installFiles, list);
        const char* const none[] = {nullptr};
        engine.updateFiles = SetupEngine::replaceFileList(engine.updateFiles, none);
        for (const char* name : {"a.pac", "b.pac", "c.pac"}) {
            fake::writeFile(sourceOf(name), std::string("new ") + name);
            if (name[0] != 'b') fake::writeFile(targetOf(name), "old");
        }
    };
    for (int renames = 1; renames <= 6; ++renames) {
        SCOPED_TRACE(renames);
        prepare();
        fake::failCall(fake::Call::ReplaceFile, -1, renames);
        fake::failCall(fake::Call::DeleteFile, -1);
        EXPECT_FALSE(engine.runUpdate());
        expectWarning(kNotPutBack);
        EXPECT_TRUE(fake::exists(targetOf("~UPDATE.LOG")));

        fake::failCall(fake::Call::ReplaceFile, 0);
        fake::failCall(fake::Call::DeleteFile, 0);
        EXPECT_TRUE(engine.putBackEndedUpdate());
        EXPECT_EQ("old", fake::readFile(targetOf("a.pac")));
        EXPECT_FALSE(fake::exists(targetOf("b.pac")));
        EXPECT_EQ("old", fake::readFile(targetOf("c.pac")));
        expectNoLeftovers();
    }

    // A file that cannot be put back (the game started again and holds its
    // place) keeps the record for the next try, and no update runs meanwhile.
    fake::failCall(fake::Call::ReplaceFile, -1, 1);
    fake::failCall(fake::Call::DeleteFile, -1);
    EXPECT_FALSE(engine.runUpdate());
    fake::failCall(fake::Call::ReplaceFile, 0);
    fake::failCall(fake::Call::DeleteFile, 0);
    fake::holdOpen(targetOf("a.pac"));
    size_t before = fake::shownMessages().size();
    EXPECT_FALSE(engine.putBackEndedUpdate());
    EXPECT_FALSE(engine.runUpdate());
    std::vector<fake::ShownMessage> shown = fake::shownMessages();
    ASSERT_EQ(before + 2, shown.size());
    EXPECT_NE(std::string::npos, shown[before].text.find("a.pac\n" + std::string(kNotPutBack)));
    EXPECT_TRUE(fake::exists(targetOf("~UPDATE.LOG")));

    // A record that cannot be read keeps every old file where it is.
    fake::failCallFor(fake::Call::OpenStream, targetOf("~UPDATE.LOG"));
    EXPECT_FALSE(engine.putBackEndedUpdate());
    EXPECT_TRUE(fake::exists(targetOf("~UPDATE.OLD\\a.pac")));

    // A copy that an earlier run left in the backup folder and that cannot
    // be removed is never taken for this run's: the update stops first.
    prepare();
    fake::writeFile(targetOf("~UPDATE.OLD\\a.pac"), "stale");
    fake::holdOpen(targetOf("~UPDATE.OLD\\a.pac"));
    EXPECT_FALSE(engine.runUpdate());
    expectWarning("~UPDATE.OLD\\a.pac\nを削除できませんでした。");
    EXPECT_EQ("old", fake::readFile(targetOf("a.pac")));

    // A record cut short, or with a line of neither kind, was written
    // before any rename: only the staged files go. One naming a file of no
    // list (a save, a path) is another program's: it is left alone, and the
    // player told.
    const std::pair<const char*, bool> records[] = {
        {"update record 1\r\n+a.pac\r\n", true},
        {"update record 1\r\na.pac\r\n.\r\n", true},
        {"update record 1\r\n+..\\a.pac\r\n.\r\n", false},
        {"update record 1\r\n-save.dat\r\n.\r\n", false}};
    for (const auto& [record, ours] : records) {
        SCOPED_TRACE(record);
        fake::reset();
        fake::writeFile(targetOf("a.pac"), "old");
        fake::writeFile(targetOf("save.dat"), "save");
        fake::writeFile(targetOf("~UPDATE.NEW\\a.pac"), "new a.pac");
        fake::writeFile(targetOf("~UPDATE.LOG"), record);
        EXPECT_EQ(ours, engine.putBackEndedUpdate());
        EXPECT_EQ("old", fake::readFile(targetOf("a.pac")));
        EXPECT_EQ("save", fake::readFile(targetOf("save.dat")));
        EXPECT_FALSE(fake::exists("c:\\Games\\a.pac"));
        if (ours) {
            expectNoLeftovers();
            EXPECT_TRUE(fake::shownMessages().empty());
        } else {
            expectWarning("はこのアップデートのファイルではないため");
            EXPECT_EQ(record, fake::readFile(targetOf("~UPDATE.LOG")));
        }
    }
}

// A listed name that is one of the program's own, in any case or with the
// trailing dots and blanks the system drops, or that leaves the game folder,
// is refused before anything is copied.
TEST_F(UpdateRunTest, TheProgramsOwnNamesAreNeverTakenForGameFiles) {
    for (const char* name : {"~Update.New. ", "sub\\grd.pac", "c:grd.pac"}) {
        SCOPED_TRACE(name);
        fake::reset();
        fake::makeFolder(kInstallFolder);
        fake::makeFolder(kDataFolder);
        fake::writeFile(sourceOf(name), "new");
        const char* const list[] = {name, nullptr};
        engine.updateFiles = SetupEngine::replaceFileList(engine.updateFiles, list);
        EXPECT_FALSE(engine.runUpdate());
        expectWarning(name);
        EXPECT_EQ(0, fake::callCount(fake::Call::OpenStream));  // refused before any copy
        EXPECT_FALSE(fake::exists(targetOf(name)));
    }
}

// The checksum file's lines as players' tools write them, and lines that
// are none: a name is found only in a line of its own form.
TEST(ChecksumFile, FindsANamesChecksumOnlyInAWholeLine) {
    struct Row {
        std::string text;
        const char* name;
        bool found;
        uint32_t checksum;
    };
    const Row rows[] = {
        {"a b.pac\t \t0123cdef  \r\n", "a b.pac", true, 0x0123CDEF},
        {"x 00000001", "x", true, 1},
        {"a.pac 0123AB:D\n", "a.pac", false, 0},
        {std::string("a.pac\0junk 0123ABCD\n", 20), "a.pac", false, 0},
        {";x 00000001", ";x", false, 0},
        {"   00000001", " ", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        uint32_t checksum = 0;
        EXPECT_EQ(row.found, findChecksum(row.text, row.name, checksum));
        if (row.found) {
            EXPECT_EQ(row.checksum, checksum);
        }
    }
}

// A whole file's checksums, or none when it cannot be read or the system
// cannot compute them.
TEST(Checksums, OfAWholeFileOrNone) {
    fake::reset();
    Checksums checksums;
    checksums.crc32Wanted = checksums.sha256Wanted = true;
    EXPECT_FALSE(fileChecksums("c:\\missing", checksums) || checksums.known);
    fake::writeFile("c:\\a.pac", "abc");
    ASSERT_TRUE(fileChecksums("c:\\a.pac", checksums) && checksums.known);
    EXPECT_EQ(0x352441C2u, checksums.crc32);
    EXPECT_EQ(0xbau, checksums.sha256[0]);
    for (fake::Call call : {fake::Call::AddToSha256, fake::Call::FinishSha256}) {
        fake::failCall(call);
        EXPECT_FALSE(fileChecksums("c:\\a.pac", checksums) || checksums.known);
    }
}

// A manifest is read only whole and in its grammar; any other text is none.
TEST(ReleaseManifest, ReadsOnlyAWholeManifestOfItsGrammar) {
    const std::string a(64, 'a'), b(64, 'b');
    const std::string whole = "release manifest 1\ntitle T\ndata D\nrelease R\nfile 3 " + a +
                              " x y.pac\npatched 40 " + b + " z.pac\nfrom 2 " + a + " 10 " + b +
                              " z.pac.1.zst\nend\n";
    // Each row changes the whole manifest: what it finds, and what it puts.
    const std::pair<std::string, std::string> broken[] = {
        {"end\n", "end"}, {"release R", "release R\x01"}, {"title T", "titleT"},
        {"release manifest 1", "release manifest 2"}, {"file 3 ", "file 03 "},
        {"file 3 ", "file 3a "}, {"file 3 ", "file 12345678901234567890 "},
        {"file 3 " + a, "file 3 " + a.substr(1) + "g"}, {"end\n", "other 1\nend\n"},
        {"file 3 " + a + " x y.pac", "file 3"}, {" x y.pac", " x\\y.pac"},
        {"end\n", "from 1 " + a + " 1 " + b + " z.pac.1.zst\nend\n"}, {"end\n", "end\nend\n"},
        {"from 2 " + a, "from 2 " + a + " 10"}};
    SetupEngine engine;
    copyText(engine.productName, sizeof engine.productName, "T");
    copyText(engine.dataFolder, sizeof engine.dataFolder, "D");
    ReleaseManifest manifest;
    EXPECT_FALSE(readReleaseManifest(engine, manifest));
    engine.useReleaseManifest(whole.data(), whole.size());
    ASSERT_TRUE(readReleaseManifest(engine, manifest));
    ASSERT_EQ(2u, manifest.files.size());
    EXPECT_EQ("x y.pac", manifest.files[0].name);
    EXPECT_TRUE(manifest.files[0].whole && !manifest.files[1].whole);
    ASSERT_EQ(1u, manifest.files[1].patches.size());
    EXPECT_EQ(10u, manifest.files[1].patches[0].patchSize);
    EXPECT_EQ("z.pac.1.zst", manifest.files[1].patches[0].patchName);
    for (const auto& [found, put] : broken) {
        SCOPED_TRACE(put);
        std::string text = whole;
        text.replace(text.find(found), found.size(), put);
        engine.useReleaseManifest(text.data(), text.size());
        ReleaseManifest parsed;
        EXPECT_FALSE(readReleaseManifest(engine, parsed));
    }
}

// The install folder must be a full path to a folder that exists; the
// update never creates it. A share is a full path.
TEST_F(UpdateRunTest, RefusesAnInstallFolderThatIsMissingOrNotAFullPath) {
    const std::string invalid = "インストール先のフォルダが正しくありません。";
    const std::pair<const char*, std::string> rows[] = {
        {"c:Games", invalid}, {"\\\\server", invalid}, {"\\Games\\Vellomira", invalid},
        {"\\\\server\\share\\Vellomira", "\\\\server\\share\\Vellomira\nが見つかりません。"}};
    for (const auto& [folder, warning] : rows) {
        SCOPED_TRACE(folder);
        fake::reset();
        fake::writeFile(sourceOf("grd.pac"), "new");
        copyText(engine.installDir, sizeof engine.installDir, folder);
        EXPECT_FALSE(engine.runUpdate());
        expectWarning(warning);
        EXPECT_EQ(0, fake::callCount(fake::Call::OpenStream));
        EXPECT_FALSE(fake::exists("c:\\grd.pac") || fake::exists(kInstallFolder));
    }
}

}  // namespace
