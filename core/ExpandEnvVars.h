// Expansion of %NAME% environment references in paths and texts.
#pragma once

#include "core/CSPString.h"

// Returns a copy of text with each %NAME% replaced by the value of the
// environment variable NAME (names match without regard to case; an
// undefined variable and the empty name "%%" expand to nothing). References
// inside a value are expanded in turn; a reference that would lead back into
// a variable being expanded stays as it is written. A lone "%" stays as it is.
CSPString ExpandEnvVars(const CSPString& text);
CSPString ExpandEnvVars(const char* text);
CSPWString ExpandEnvVars(const CSPWString& text);
CSPWString ExpandEnvVars(const char16_t* text);
