#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"
#include "transfer/install_status.h"

namespace {

platform::WindowHandle const kDialog = reinterpret_cast<platform::WindowHandle>(0x105);

class InstallCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        engine.dialogWindow = kDialog;
        engine.progressControlId = 1005;
        engine.setStatusControls(1019, 1021);
        copyText(engine.sourceDir, sizeof engine.sourceDir, "c:\\Src");
        copyText(engine.installDir, sizeof engine.installDir, "c:\\Game");
        fake::makeFolder("c:\\Game");
    }
    // A list of count entries whose sources hold size bytes each.
    void makeList(int count, size_t size) {
        names.clear();
        for (int i = 0; i < count; ++i) {
            names.push_back("f" + std::to_string(i) + ".pac");
            fake::writeFile("c:\\Src\\" + names.back(), std::string(size, 'x'));
        }
        std::vector<const char*> pointers;
        for (const std::string& name : names) pointers.push_back(name.c_str());
        pointers.push_back(nullptr);
        engine.installFiles = SetupEngine::replaceFileList(engine.installFiles, pointers.data());
    }
    static int steps() { return fake::progressBar(kDialog, 1005).steps; }

    SetupEngine engine;
    std::vector<std::string> names;
};

TEST_F(InstallCopyTest, ProgressBarIsScaledToAThousandSteps) {
    makeList(2, 1750000);
    EXPECT_TRUE(engine.runInstallCopy());
    EXPECT_EQ(3500u, engine.progressUnit.load());
    EXPECT_EQ(1000, fake::progressBar(kDialog, 1005).range);
    EXPECT_EQ(1000, steps());

    // Under 1,000 bytes there is no unit: nothing moves while the copy runs,
    // and the bar jumps to its end when it is over.
    fake::reset();
    engine.progressUnit = 0;
    engine.progressShown = 0;
    engine.bytesCopied = 400;
    engine.copyRunning = 1;
    engine.updateProgress();
    EXPECT_EQ(0, steps());
    engine.copyRunning = 0;
    engine.updateProgress();
    engine.updateProgress();
    EXPECT_EQ(1000, steps());
}

// The clock line counts whole seconds and catches up one per call; the name
// line turns its mark once per 131,072 calls.
TEST_F(InstallCopyTest, StatusLinesShowTheClockAndTheFileWithATurningMark) {
    auto shown = [](int line) { return fake::controlTextHistory(kDialog, line); };
    recordCurrentFileName("a.pac");
    restartClock();
    fake::advanceClock(1000);  // exactly a second does not count yet
    statusTicker(engine);
    EXPECT_TRUE(shown(1021).empty());
    fake::advanceClock(1);
    for (int second = 1; second < 3600; ++second) {
        statusTicker(engine);
        fake::advanceClock(1000);
    }
    EXPECT_EQ("0:59:59", fake::controlText(kDialog, 1021));
    statusTicker(engine);
    EXPECT_EQ("1:00:00", fake::controlText(kDialog, 1021));
    fake::advanceClock(2000);
    for (const char* expected : {"1:00:01", "1:00:02", "1:00:02"}) {
        statusTicker(engine);
        EXPECT_EQ(expected, fake::controlText(kDialog, 1021));
    }
    EXPECT_EQ(3602u, shown(1021).size());

    // The ticker's count runs on from the calls before: find its phase first.
    recordCurrentFileName("grd.pac");
    const size_t before = shown(1019).size();
    while (shown(1019).size() == before) statusTicker(engine);
    for (int turn = 0; turn < 4; ++turn) {
        for (int i = 1; i < 131072; ++i) statusTicker(engine);
        EXPECT_EQ(before + 1 + turn, shown(1019).size());
        statusTicker(engine);
    }
    const std::vector<std::string> marks = {"｜", "／", "―", "＼"}, history = shown(1019);
    ASSERT_EQ(before + 5, history.size());
    size_t first = 0;
    while (first < marks.size() && history[before] != "grd.pac " + marks[first]) ++first;
    ASSERT_LT(first, marks.size());
    for (size_t i = 1; i < 5; ++i)
        EXPECT_EQ("grd.pac " + marks[(first + i) % 4], history[before + i]);
}

TEST_F(InstallCopyTest, FilesThatCannotBeCopiedFailTheRunUnlessTheirSourceIsMissing) {
    makeList(2, 10);
    // A source that cannot be opened; a write that comes up short by less
    // than the size check would see, with the system's copy failing too.
    fake::failCallFor(fake::Call::OpenStream, "c:\\Src\\f0.pac");
    EXPECT_FALSE(engine.runInstallCopy());
    fake::reset();
    fake::makeFolder("c:\\Game");
    makeList(1, 100000);
    fake::setDiskSpaceForWrites(50000);
    fake::failCall(fake::Call::SystemCopyFile, -1);
    EXPECT_FALSE(engine.runInstallCopy());
    fake::setDiskSpaceForWrites(-1);
    fake::holdOpen("c:\\Game\\f0.pac");
    EXPECT_FALSE(engine.runInstallCopy());

    // A missing source is skipped; a path over 259 bytes fails, never cut.
    fake::reset();
    fake::makeFolder("c:\\Game");
    makeList(1, 10);
    engine.installFiles = SetupEngine::replaceFileList(
        engine.installFiles, std::vector<const char*>{"f0.pac", "missing.pac", nullptr}.data());
    EXPECT_TRUE(engine.runInstallCopy());
    copyText(engine.installDir, sizeof engine.installDir, ("c:\\" + std::string(250, 'g')).c_str());
    int opened = fake::callCount(fake::Call::OpenStream);
    EXPECT_FALSE(engine.runInstallCopy());
    EXPECT_EQ(opened, fake::callCount(fake::Call::OpenStream));
}

// With the release's manifest, only a file whose SHA-256 is the manifest's
// is installed. On a volume that keeps no file index, an old file of its
// source's size is copied over, never taken for its source and skipped.
TEST_F(InstallCopyTest, OnlyWhatTheManifestVouchesForIsInstalled) {
    struct Row {
        const char* what;
        std::function<void(std::string&)> fault;
        bool installs;
    };
    const Row rows[] = {
        {"as the manifest says", [](std::string&) { fake::reportNoFileIndex(); }, true},
        {"a damaged source", [](std::string&) { fake::writeFile("c:\\Src\\f0.pac", "y"); },
         false},
        {"an entry it does not name",
         [](std::string& manifest) { manifest.erase(manifest.find("file", 40)); }, false},
        {"another product's", [](std::string& manifest) { manifest[25] = 'X'; }, false},
        {"a source that is its own target",
         [this](std::string&) { copyText(engine.installDir, sizeof engine.installDir, "c:\\Src"); },
         true},
        {"a damaged source that is its own target",
         [this](std::string&) {
             copyText(engine.installDir, sizeof engine.installDir, "c:\\Src");
             fake::writeFile("c:\\Src\\f0.pac", std::string(100000, 'y'));
         },
         false},
    };
    copyText(engine.productName, sizeof engine.productName, "Game");
    copyText(engine.dataFolder, sizeof engine.dataFolder, "Game");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fake::reset();
        fake::makeFolder("c:\\Game");
        makeList(2, 100000);
        std::string manifest = "release manifest 1\ntitle Game\ndata Game\nrelease 1\n";
        for (const std::string& name : names) {
            manifest += "file 100000 " + fake::sha256Hex(std::string(100000, 'x')) + " " + name + "\n";
        }
        manifest += "end\n";
        fake::writeFile("c:\\Game\\f1.pac", std::string(100000, 'o'));
        copyText(engine.installDir, sizeof engine.installDir, "c:\\Game");
        row.fault(manifest);
        engine.useReleaseManifest(manifest.data(), manifest.size());
        EXPECT_EQ(row.installs, engine.runInstallCopy());
        if (row.installs) {
            EXPECT_EQ(std::string(100000, 'x'),
                      fake::readFile(std::string(engine.installDir) + "\\f1.pac"));
        }
    }
}

}  // namespace
