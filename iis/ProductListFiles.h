// What the website enable list and the filter priorities share: the
// product's installation directory from the registry, where an item stands
// in a comma-separated list, and how the two small UTF-8 list files are read
// and written.
#pragma once

#include <cstdint>
#include <functional>

#include "core/CSPList.h"
#include "core/CSPString.h"

// Shows a message box without owner: text, caption, Windows message box
// flags. The list classes word the messages; the caller owns the window.
using ListMessage =
    std::function<void(const CSPWString& text, const CSPWString& caption, uint32_t flags)>;

// "ProductDir" of HKEY_LOCAL_MACHINE\Software\Corvane\Quaver with a final
// backslash; false when the key or value is missing or the value is empty.
bool GetProductDir(CSPWString& productDir);

// The 0-based index of the comma-separated item of `list` in which `text`
// first begins (case-sensitive), or -1 when the text is not in it.
int32_t GetListPosition(const CSPWString& list, const CSPWString& text);

// Reads the installation directory + `fileName` whole and splits it at every
// carriage return and line feed, as undecoded lines. Empty lines are left
// out, except the first line, which always comes first (the enable list's
// marker line may be empty). False when the directory is unknown or the file
// cannot be opened or read.
bool ReadListFile(const char16_t* fileName, CSPList<CSPString>& lines);

// Decodes one line from UTF-8, widening it byte for byte when it is not.
CSPWString DecodeListLine(const CSPString& line);

// Writes `text` (16-bit, encoded as UTF-8) as the installation directory +
// `fileName`, replacing what was there. Without a known directory nothing
// happens; file failures are shown as warnings when `show` is set.
void WriteListFile(const char16_t* fileName, const CSPWString& text, const ListMessage* show);
