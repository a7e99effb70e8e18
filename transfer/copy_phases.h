// Where a copy's time goes, phase by phase: the benchmark builds the engine
// with COPY_PHASES defined and supplies markCopyPhase, which charges the
// time since the previous mark to the phase that has just ended. In the
// programs every mark is an empty inline call.
#pragma once

enum class CopyPhase {
    SourceChecks,        // looking for the sources, composing the paths
    Opens,               // opening both streams
    Blocks,              // the 64 KiB read and write loop
    Closes,              // closing both streams
    SizeCheck,           // comparing the sizes (and any fallback copy)
    AttributesAndTimes,  // normal attributes, the source's three times
    Replace,             // the replace step: every new file in its old one's place
    Count
};

#ifdef COPY_PHASES
void markCopyPhase(CopyPhase ended);
#else
inline void markCopyPhase(CopyPhase) {}
#endif
