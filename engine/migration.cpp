// Registers the product from an earlier edition's record on a machine that
// has that record but none of the product's. Switched off in this
// configuration: nothing sets migrationEnabled.
#include <cstring>

#include "base/bounded_text.h"
#include "engine/setup_engine.h"

unsigned char migrationEnabled = 0;

namespace {

const char* const earlierRecordKey = "SOFTWARE\\Calder\\Quillmoor";
const char* const productReadmeLink = "Calder\\Tessaline\\README.lnk";
const char* const earlierReadmeLink = "Calder\\Quillmoor\\README.lnk";
const char* const earlierFolderName = "Quillmoor";
constexpr int kCommonPrograms = 1;

// Puts a record's folders into the engine's fields; false, writing neither,
// when one does not fit its field.
bool setRecordFolders(SetupEngine& engine, const char* dir, const char* cd) {
    if (std::strlen(dir) >= kPathCapacity || std::strlen(cd) >= kPathCapacity) return false;
    copyText(engine.installDir, sizeof engine.installDir, dir);
    copyText(engine.sourceDir, sizeof engine.sourceDir, cd);
    return true;
}

// Keeps the drive part ("e:\") of a source folder and puts the earlier
// edition's folder name after it.
void pointAtEarlierFolder(char* cd, size_t capacity) {
    if (std::strlen(cd) < 3) return;
    cd[3] = '\0';
    appendText(cd, capacity, earlierFolderName);
}

}  // namespace

bool SetupEngine::migrateEarlierRecord() {
    if (migrationEnabled == 0) return true;
    if (readRecord()) return true;
    if (!readRecordAt(earlierRecordKey)) return false;

    char savedCd[kTextCapacity] = {};
    char productDir[kTextCapacity] = {};
    char earlierDir[kTextCapacity] = {};
    copyText(savedCd, sizeof savedCd, sourceDir);
    if (!readShortcutWorkingDirectory(kCommonPrograms, productReadmeLink, productDir,
                                      sizeof productDir)) {
        return false;
    }
    bool earlierLinkRead = readShortcutWorkingDirectory(kCommonPrograms, earlierReadmeLink,
                                                        earlierDir, sizeof earlierDir);
    if (!earlierLinkRead) deleteKey(earlierRecordKey);
    if (setRecordFolders(*this, productDir, savedCd)) writeRecord();
    if (earlierLinkRead) {
        pointAtEarlierFolder(savedCd, sizeof savedCd);
        if (setRecordFolders(*this, earlierDir, savedCd)) writeRecordAt(earlierRecordKey);
    }
    return true;
}
