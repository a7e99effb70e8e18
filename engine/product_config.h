// The tables that bind the setup engine to one product, fixed at build time.
// Plain data with no system dependency, so the engine's tests link it too.
// Two entries change at run time, both on the main thread: installList[0]
// at start-up and sizeTable[0] by the install options dialog.
#pragma once

#include <cstdint>

namespace ProductConfig {

extern const char* const windowClassName;
extern const char* const productTitle;
extern const char* const makerName;
extern const char* const dataFolderName;
extern const char* const gameExecutable;
extern const char* const registryKeyPath;

// Null-terminated lists of names (each at most 127 bytes).
extern const char* installList[];
extern const char* const updateList[];
extern const char* const volumeLabelList[];

// Sizes in megabytes: [0] current requirement, [1] install type 2 (all
// files), [2] install type 1 (entries 0 to 10), [3] spare.
extern uint32_t sizeTable[4];

// Megabytes of the optional parts, which the install options dialog adds up
// for the parts chosen.
struct PartSizes {
    uint32_t graphics;      // the graphics archive chosen
    uint32_t baseGraphics;  // the graphics when the archive is not chosen
    uint32_t music;
    uint32_t voices;
};
extern const PartSizes partSizes;

// Indexes of installList that other parts rely on.
constexpr int kGameExecutableIndex = 0;
constexpr int kReadmeIndex = 10;
constexpr int kUninstallerIndex = 11;

}  // namespace ProductConfig
