// Expansion of %NAME% environment references in paths and texts.
#pragma once

#include "core/CSPString.h"

// Returns a copy of text with each %NAME% replaced by the value of the
// environment variable NAME (names match without regard to case; an
// undefined variable and the empty name "%%" expand to nothing). Each pass
// starts again from the start of the text, so references inside a value, or
// formed by a value with the text after it, are expanded in turn; a value that
// refers back to itself ends the expansion with the text as it then stands. A
// lone "%" stays as it is.
CSPString ExpandEnvVars(const CSPString& text);
CSPString ExpandEnvVars(const char* text);
CSPWString ExpandEnvVars(const CSPWString& text);
CSPWString ExpandEnvVars(const char16_t* text);
