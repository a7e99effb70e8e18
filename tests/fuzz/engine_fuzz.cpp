// Fuzz target (libFuzzer): arbitrary bytes become the configured names, the
// registration record, the program's path and a few files on the fake's
// disk; the one engine then initializes from them, installs when asked to,
// runs the update, reads its record again and uninstalls. A crash, a
// sanitizer report or a registry key left open is a fault.
//
// Input, read front to back; a field past the end reads as zeros or empty:
//   1 byte   flags (kFlag... below)
//   2 bytes  a platform call to fail (index modulo the calls and one more,
//            which fails none) and how many times in a row (0 to 3)
//   texts    maker, title, data folder, program path, disc label,
//            two shortcut working directories (earlier-edition migration)
//   lists    install list (0 to 14 names), update list (0 to 4), volume
//            labels (0 to 2): a count byte, then that many texts
//   values   "Dir", "CD", "InstType": a type byte (0 = no such value), then
//            the data as a text (any bytes, NULs too)
//   4 bytes  which names of both lists exist in the data folder
//   text     the install base folder (with kFlagInstall)
// A text is a 2-byte little-endian length and that many bytes. Names go to
// the engine as C strings, so a NUL in them ends them early.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "tests/fake/fake_platform.h"

namespace {

enum : unsigned {
    kFlagRecordKey = 1u << 0,         // the record's key exists, values or not
    kFlagDisc = 1u << 1,              // d: is a CD-ROM drive with the disc label
    kFlagExecutableOnDisc = 1u << 2,  // d:\<data folder>\<entry 0> exists
    kFlagInstallFolder = 1u << 3,     // the folder that "Dir" names exists
    kFlagInstalledFiles = 1u << 4,    // ...holding every listed name, read-only
    kFlagDecline = 1u << 5,           // the uninstall question is answered No
    kFlagMigration = 1u << 6,         // the earlier edition's record is used
    kFlagInstall = 1u << 7,           // the game is installed after start-up
};

const char* const kEarlierRecordKey = "SOFTWARE\\Calder\\Quillmoor";
const char* const kProgramsFolder = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
platform::WindowHandle const kDialog = reinterpret_cast<platform::WindowHandle>(0x105);

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}

    uint8_t byte() { return at_ < end_ ? *at_++ : 0; }

    std::string text() {
        size_t length = byte();
        length |= static_cast<size_t>(byte()) << 8;
        length = std::min(length, static_cast<size_t>(end_ - at_));
        std::string result(reinterpret_cast<const char*>(at_), length);
        at_ += length;
        return result;
    }

    std::vector<std::string> list(unsigned maximum) {
        std::vector<std::string> names(byte() % (maximum + 1));
        for (std::string& name : names) name = text();
        return names;
    }

private:
    const uint8_t* at_;
    const uint8_t* end_;
};

// A text as the engine sees it: up to its first NUL.
std::string cString(const std::string& text) { return text.substr(0, text.find('\0')); }

// The null-terminated array of C strings that the configuration hands over.
std::vector<const char*> pointersTo(const std::vector<std::string>& names) {
    std::vector<const char*> pointers;
    for (const std::string& name : names) pointers.push_back(name.c_str());
    pointers.push_back(nullptr);
    return pointers;
}

// Puts a file on the fake's disk; a path the host cannot hold is left out.
void putFile(const std::string& path, const std::string& contents) {
    try {
        fake::writeFile(path, contents);
    } catch (const std::exception&) {
    }
}

struct RecordValue {
    uint8_t type;
    std::string data;
};

void storeRecord(const std::string& key, const RecordValue (&values)[3], bool keyAlone) {
    const char* const names[] = {"Dir", "CD", "InstType"};
    if (keyAlone) fake::setRegistryValue(key, "Unrelated", platform::kRegistryText, {0});
    for (int i = 0; i < 3; ++i) {
        if (values[i].type == 0) continue;
        fake::setRegistryValue(key, names[i], values[i].type,
                               {values[i].data.begin(), values[i].data.end()});
    }
}

// The process's program folder: the path up to its last backslash.
std::string folderOf(const std::string& path) {
    size_t last = path.rfind('\\');
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

void checkNoKeyOpen() {
    if (fake::openRegistryKeys() == 0 && setupEngine.registryKey == nullptr) return;
    std::fputs("a registry key was left open\n", stderr);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    unsigned flags = in.byte();
    int failedCall = in.byte() % (static_cast<int>(fake::Call::Count) + 1);
    int failures = in.byte() % 4;
    std::string maker = in.text();
    std::string title = in.text();
    std::string dataFolder = in.text();
    std::string programPath = in.text();
    std::string discLabel = in.text();
    std::string productLinkFolder = in.text();
    std::string earlierLinkFolder = in.text();
    std::vector<std::string> installList = in.list(14);
    std::vector<std::string> updateList = in.list(4);
    std::vector<std::string> labels = in.list(2);
    RecordValue record[3];
    for (RecordValue& value : record) {
        value.type = in.byte();
        value.data = in.text();
    }
    uint32_t present = 0;
    for (int shift = 0; shift < 32; shift += 8) present |= uint32_t{in.byte()} << shift;
    std::string installBase = in.text();

    fake::reset();
    fake::setModuleFileName(programPath);
    if (flags & kFlagDisc) fake::setDrive('d', 5, discLabel);
    if ((flags & kFlagExecutableOnDisc) && !installList.empty()) {
        putFile("d:\\" + cString(dataFolder) + "\\" + cString(installList[0]), "game");
    }
    std::string dataPath = folderOf(programPath) + "\\" + cString(dataFolder) + "\\";
    std::vector<std::string> listed = installList;
    listed.insert(listed.end(), updateList.begin(), updateList.end());
    for (size_t i = 0; i < listed.size(); ++i) {
        if (present & (1u << i)) putFile(dataPath + cString(listed[i]), "new " + listed[i]);
    }
    migrationEnabled = (flags & kFlagMigration) ? 1 : 0;
    bool keyAlone = (flags & kFlagRecordKey) != 0;
    storeRecord(migrationEnabled ? kEarlierRecordKey : ProductConfig::registryKeyPath, record,
                keyAlone);
    if (migrationEnabled) {
        putFile(std::string(kProgramsFolder) + "\\Calder\\Tessaline\\README.lnk",
                "x\n" + cString(productLinkFolder));
        putFile(std::string(kProgramsFolder) + "\\Calder\\Quillmoor\\README.lnk",
                "x\n" + cString(earlierLinkFolder));
    }
    std::string installFolder = cString(record[0].data);
    if (flags & kFlagInstallFolder) fake::makeFolder(installFolder);
    if (flags & kFlagInstalledFiles) {
        for (const std::string& name : listed) {
            std::string path = installFolder + "\\" + cString(name);
            putFile(path, "old");
            fake::setReadOnly(path, true);
        }
    }
    if (flags & kFlagDecline) fake::answerNext(platform::kAnswerNo);
    if (failedCall < static_cast<int>(fake::Call::Count) && failures > 0) {
        fake::failCall(static_cast<fake::Call>(failedCall), failures);
    }

    // initialize copies the rest; these it only reads or leaves alone.
    setupEngine.installDir[0] = '\0';
    setupEngine.installType = 0;
    std::vector<const char*> installNames = pointersTo(installList);
    std::vector<const char*> updateNames = pointersTo(updateList);
    std::vector<const char*> labelNames = pointersTo(labels);
    setupEngine.initialize(installNames.data(), updateNames.data(), labelNames.data(), nullptr,
                           kDialog, maker.c_str(), title.c_str(), dataFolder.c_str(), 3200);
    checkNoKeyOpen();
    if (flags & kFlagInstall) {
        copyText(setupEngine.installBase, sizeof setupEngine.installBase, installBase.c_str());
        setupEngine.runInstall();
        checkNoKeyOpen();
    }
    setupEngine.runUpdate();
    setupEngine.readRecord();
    checkNoKeyOpen();
    setupEngine.runUninstall();
    checkNoKeyOpen();
    return 0;
}
