#pragma once
// The one door to the quick passes over a dictionary's bytes (see README.md
// in this folder for the words): which lines of a file may match a probe,
// handed on with their place, and the quick cut of a line's fields. The form
// every pass takes is chosen once, from one processor check (CpuFeatures.h).

#include "CpuFeatures.h"  // IWYU pragma: export
#include "FieldCuts.h"    // IWYU pragma: export
#include "LineFilter.h"   // IWYU pragma: export
