// The filter priorities: where the product's ISAPI filter stood in each
// load order (the empty key for the global filters), kept in
// "Priorities.lst" in the installation directory (one "KEY POSITION" line per
// entry, UTF-8, CR LF) so that a new installation puts the filter back at
// its old place.
#pragma once

#include <cstdint>

#include "core/CSPMap.h"
#include "core/CSPString.h"
#include "iis/ProductListFiles.h"

// The same map the package engine keeps (a site ID, or empty for the global
// filters, to the 0-based position).
using FilterPriorities = CSPMap<CSPWString, uint32_t>;

// Empties `priorities`, reads the file, adds what the metabase says now and
// writes the file back. False, without writing, when the metabase cannot be
// read; messages go to `show` only when `showMessages` is set.
bool RefreshPriorities(FilterPriorities& priorities, bool showMessages, const ListMessage& show);

void ReadPrioritiesFile(FilterPriorities& priorities);
bool ReadMetabasePriorities(FilterPriorities& priorities, const ListMessage* show);
void WritePrioritiesFile(const FilterPriorities& priorities, const ListMessage* show);
