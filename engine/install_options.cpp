// Disk space of the install for the optional parts chosen in the install
// options dialog.
#include "engine/install_options.h"

#include "engine/product_config.h"
#include "engine/setup_engine.h"

namespace {

bool isSelected(int entry) {
    return setupEngine.selected[entry] == 1;
}

}  // namespace

uint32_t requiredMegabytesForSelection() {
    const ProductConfig::PartSizes& parts = ProductConfig::partSizes;
    uint32_t megabytes = isSelected(kGraphicsPart) ? parts.graphics : parts.baseGraphics;
    if (isSelected(kMusicPart)) megabytes += parts.music;
    if (isSelected(kVoicePart)) megabytes += parts.voices;
    return megabytes;
}
