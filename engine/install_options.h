// The optional parts of the game that the install options dialog switches,
// and the disk space a choice of them needs.
#pragma once

#include <cstdint>

// Entries of the install list (and of SetupEngine::selected) that are
// optional parts.
constexpr int kGraphicsPart = 1;
constexpr int kVoicePart = 2;
constexpr int kMusicPart = 5;

// Megabytes the install needs for the parts selected in setupEngine, with
// the product's part sizes: the graphics archive (or the graphics without
// it), plus music and voice when chosen. A part counts only when its flag
// is exactly 1.
uint32_t requiredMegabytesForSelection();
