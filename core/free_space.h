// Room for the run, checked before anything is written: a full disk found half-way through
// an install leaves both a broken installation and a full disk.
#pragma once

#include <cstdint>

#include "core/run_texts.h"
#include "core/wide_string.h"

struct SfxApp;
struct PayloadSurvey;

struct SpaceNeed {
  uint64_t needed = 0;     // bytes the run takes on the destination's volume
  uint64_t available = 0;  // bytes free to the caller there
  bool known = false;      // false when the system could not tell the free space
  bool enough() const { return !known || needed <= available; }
};

// The members' original sizes, less the sizes of the existing files they will replace under
// destination, plus the largest member (each member is first written beside its target);
// and the space free on the volume of destination, or of its nearest existing parent when
// it does not exist yet. Walks app's archive from its start and leaves it there.
SpaceNeed measureSpaceNeed(SfxApp& app, const PayloadSurvey& survey, const WideString& destination);

// "ディスクの空き容量が足りません。..." (in texts' language) with both figures in MB.
WideString diskSpaceText(const RunTexts& texts, const SpaceNeed& need);
