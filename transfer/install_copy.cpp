// The threaded install copy: a copy thread walks the selected entries of the
// install list and copies them from sourceDir into installDir, while the
// calling thread keeps the progress bar and the status lines moving and
// passes the dialog's messages on, so the abort button can reach the copy.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "engine/setup_engine.h"
#include "transfer/checksums.h"
#include "transfer/install_status.h"
#include "transfer/release_manifest.h"
#include "transfer/reserved_names.h"
#include "transfer/same_file.h"

namespace {

// ---- The file walk --------------------------------------------------------

// Entries beyond the selection flags have no flag of their own: the full
// install takes the whole list, so they count as selected.
bool isSelected(const SetupEngine& engine, int index) {
    return index >= kSelectionFlags || engine.selected[index] == 1;
}

// Visits the entries of the install list that an install copy considers:
// from index first on, up to the list's empty name or the index equal to
// end, whichever comes first. visit(name, selected) returns false to stop.
// The walk counts from index 0 so that it never reads past the list's end,
// whatever first holds.
template <typename Visit>
void walkInstallList(const SetupEngine& engine, int first, int end, Visit visit) {
    if (engine.installFiles == nullptr) return;
    for (int index = 0; engine.installFiles[index][0] != '\0'; ++index) {
        if (index < first) continue;
        if (index == end) return;
        if (!visit(engine.installFiles[index], isSelected(engine, index))) return;
    }
}

// ---- The copy thread ------------------------------------------------------

// Set by the copy thread when a file whose source exists was not copied (or
// its paths did not fit); the run then fails like a cancelled one.
std::atomic<bool> copyFailed{false};

bool sameSha256(const Checksums& checksums, const ManifestFile& expected) {
    return checksums.known &&
           std::memcmp(checksums.sha256, expected.sha256, sizeof expected.sha256) == 0;
}

// Whether a file that is already in place has the bytes the manifest gives.
bool fileMatches(const char* path, const ManifestFile& expected) {
    Checksums checksums;
    checksums.sha256Wanted = true;
    return fileChecksums(path, checksums) && sameSha256(checksums, expected);
}

// A source that cannot be told apart from its target (its volume keeps no
// file index) is copied into a temporary file beside the target, which then
// takes the target's place: were the two one file, a straight copy would
// empty it before reading it.
bool copyThroughTemporary(SetupEngine& engine, const char* target, const char* source,
                          Checksums& checksums) {
    char temporary[kPathCapacity];
    if (!joinPath(temporary, kPathCapacity, engine.installDir, kUpdateTemporaryName)) return false;
    platform::setAttributesNormal(temporary);
    bool copied = engine.copyFile(temporary, source, &checksums);
    // A cut-short copy never takes the place of what may be its own source.
    if (copied && engine.cancelState == kCancelNone &&
        platform::replaceFile(temporary, target)) {
        return true;
    }
    platform::deleteFile(temporary);
    return copied && engine.cancelState != kCancelNone;
}

// Copies one list entry; false when it could not be copied although its
// source exists, or when its paths do not fit their buffers. With the
// release's manifest, an entry it does not name, a missing source and a
// copy whose SHA-256 is not the manifest's fail too.
bool copyEntry(SetupEngine& engine, const char* name, const ReleaseManifest* manifest) {
    recordCurrentFileName(name);
    char target[kPathCapacity];
    char source[kPathCapacity];
    if (!joinPath(target, kPathCapacity, engine.installDir, name) ||
        !joinPath(source, kPathCapacity, engine.sourceDir, name)) {
        return false;
    }
    const ManifestFile* expected = nullptr;
    if (manifest != nullptr && (expected = findManifestFile(*manifest, name)) == nullptr) {
        return false;
    }
    // A source that is the target itself is installed already: copying it
    // would empty it. It counts as copied.
    FileSameness sameness = compareFiles(target, source);
    if (sameness == FileSameness::Same) {
        engine.bytesCopied += fileSize(source);
        return expected == nullptr || fileMatches(source, *expected);
    }
    // A read-only file left by an earlier install (a copy that carried the
    // disc's attributes) would refuse to be overwritten.
    platform::setAttributesNormal(target);
    Checksums checksums;
    checksums.sha256Wanted = expected != nullptr;
    bool copied = sameness == FileSameness::Unknown
                      ? copyThroughTemporary(engine, target, source, checksums)
                      : engine.copyFile(target, source, &checksums);
    // A missing source is skipped, as on a medium without the optional part;
    // one the system could not search for is no missing file, and with a
    // manifest every source must be there.
    if (!copied) {
        return expected == nullptr && platform::findPath(source) == platform::Presence::Missing;
    }
    return expected == nullptr || engine.cancelState != kCancelNone ||
           sameSha256(checksums, *expected);
}

void waitForCopy(SetupEngine& engine) {
    while (engine.copyRunning != 0) {
        statusTicker(engine);
        engine.updateProgress();
        // The loop spins with a zero-length yield rather than a timed wait:
        // the name line's cadence is counted in turns of this loop.
        if (!platform::pumpOneMessage()) platform::yieldThread();
    }
}

constexpr int32_t kProgressRange = 1000;

}  // namespace

// ---- Progress bar -----------------------------------------------------------

void SetupEngine::initProgressBar(int maximum) {
    platform::resetProgressBar(dialogWindow, progressControlId, maximum);
}

void SetupEngine::stepProgressBar() {
    platform::stepProgressBar(dialogWindow, progressControlId);
}

void SetupEngine::updateProgress() {
    uint32_t unit = progressUnit;
    int32_t target;
    if (unit != 0) {
        uint32_t steps = bytesCopied / unit;
        uint32_t limit = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
        target = static_cast<int32_t>(steps < limit ? steps : limit);
    } else {
        // A total under 1,000 bytes gives no unit: the bar stays until the
        // copy has ended and then jumps to its end.
        target = copyRunning != 0 ? progressShown.load() : kProgressRange;
    }
    progressTarget = target;
    int32_t shown = progressShown;
    if (target == shown) return;
    for (int64_t due = int64_t{target} - shown; due > 0; --due) stepProgressBar();
    progressShown = target;
}

// ---- The run ----------------------------------------------------------------

uint32_t SetupEngine::sumSelectedSizes() const {
    uint32_t total = 0;
    walkInstallList(*this, firstFile, endFile, [&](const char* name, bool selected) {
        char source[kPathCapacity];
        if (selected && joinPath(source, kPathCapacity, sourceDir, name)) {
            total += fileSize(source);
        }
        return true;
    });
    return total;
}

void SetupEngine::copyWorker(void* argument) {
    SetupEngine& engine = *static_cast<SetupEngine*>(argument);
    int end = engine.endFile;
    int first = engine.firstFile;
    engine.copyRunning = 1;
    restartClock();
    // A program that carries the release's manifest installs only what it
    // vouches for.
    ReleaseManifest manifest;
    const ReleaseManifest* checks = engine.hasReleaseManifest ? &manifest : nullptr;
    if (checks != nullptr && !readReleaseManifest(engine, manifest)) {
        copyFailed = true;
        engine.copyRunning = 0;
        return;
    }
    walkInstallList(engine, first, end, [&](const char* name, bool selected) {
        int32_t seenByCopier = kCancelSeenByCopier;
        if (engine.cancelState.compare_exchange_strong(seenByCopier, kCancelSeenByWorker)) {
            return false;
        }
        if (!selected) return true;
        if (copyEntry(engine, name, checks)) return true;
        copyFailed = true;
        return false;
    });
    // The last act: the waiting loop ends on it and the engine may be
    // touched by others from here on.
    engine.copyRunning = 0;
}

bool SetupEngine::runInstallCopy() {
    uint32_t total = sumSelectedSizes();
    initProgressBar(kProgressRange);
    // The old cancel is cleared before the dialog can see a copy running,
    // so an abort pressed at once is not lost.
    cancelState = kCancelNone;
    copyRunning = 1;
    bytesCopied = 0;
    progressUnit = total / kProgressRange;
    progressTarget = 0;
    progressShown = 0;
    copyFailed = false;
    platform::ThreadHandle thread = nullptr;
    if (!platform::startThread(&SetupEngine::copyWorker, this, copyThreadId, thread)) {
        copyThreadId = 0;
        copyRunning = 0;
        return false;
    }
    // The loop ends on copyRunning, the copy thread's last act; the handle
    // is closed only then, so the thread is gone before the caller goes on.
    waitForCopy(*this);
    platform::closeThread(thread);
    updateProgress();
    return cancelState <= kCancelNone && !copyFailed;
}
