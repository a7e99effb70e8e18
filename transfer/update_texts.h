// What the update tells the player: its texts (code page 932 once
// compiled) and which of them says why a step ended.
#pragma once

#include "transfer/update_patches.h"
#include "transfer/update_replace.h"
#include "transfer/update_staging.h"

extern const char kCompleted[];
extern const char kFileFailed[];
extern const char kFileHeld[];
extern const char kReleaseDamaged[];
extern const char kTooLittleSpace[];
extern const char kNotPutBack[];
extern const char kRecordForeign[];
extern const char kFolderInPlace[];
extern const char kNotMade[];
extern const char kFileDenied[];
extern const char kDiskFull[];
extern const char kNotThisVersion[];
extern const char kNotEmptied[];
extern const char kFolderInvalid[];
extern const char kFolderMissing[];
extern const char kUpdateFilesUnknown[];
extern const char kReportCaption[];
extern const char kCompletedCaption[];

// The text for a step that did not end well.
const char* patchChoiceText(PatchChoice choice);
const char* replaceText(ReplaceOutcome outcome);
const char* stagingText(StagingOutcome outcome);
