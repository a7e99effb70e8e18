// Disk space of the install for the optional parts chosen in the install
// options dialog.
#include "engine/install_options.h"

#include "engine/setup_engine.h"

namespace {

constexpr uint32_t kGraphicsMegabytes = 1340;
constexpr uint32_t kBaseGraphicsMegabytes = 140;
constexpr uint32_t kMusicMegabytes = 220;
constexpr uint32_t kVoiceMegabytes = 740;

bool isSelected(int entry) {
    return setupEngine.selected[entry] == 1;
}

}  // namespace

uint32_t requiredMegabytesForSelection() {
    uint32_t megabytes = isSelected(kGraphicsPart) ? kGraphicsMegabytes : kBaseGraphicsMegabytes;
    if (isSelected(kMusicPart)) megabytes += kMusicMegabytes;
    if (isSelected(kVoicePart)) megabytes += kVoiceMegabytes;
    return megabytes;
}
