// Images and helpers for running the package engine in tests: a server made
// as `quaver-machine create --iis VERSION` makes it, with the product's
// registry key, and a snapshot of everything the image holds for comparing
// the image before and after a run.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "package/ComponentVariable.h"
#include "package/Update.h"
#include "package/UpdateComponent.h"
#include "tests/support/TempMachine.h"

namespace package_test {

inline constexpr char16_t kProductKey[] = u"Software\\Corvane\\Quaver";
inline constexpr char16_t kProductDir[] = u"C:\\Program Files\\Corvane\\Quaver\\";

class EngineImage : public quaver::test::TempMachine {
 public:
  // "6", "10", ... ; empty: a server without IIS. The product key exists.
  // `metabaseCompat`: IIS 7 or later with the IIS 6 metabase compatibility,
  // as `create --metabase-compat` makes it.
  explicit EngineImage(const std::string& iisVersion, bool metabaseCompat = false);
};

// Every file of the image by its path below the image root, with its bytes.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const quaver::test::TempMachine& image);
// Removing a filter from a website whose "Filters" key had no load order of
// its own leaves an empty one, as the metabase's filter removal does
// everywhere: for comparing, that line is taken out of MetaBase.xml.
Snapshot WithoutEmptyLoadOrders(Snapshot files);
// The differences as readable lines; empty when equal.
std::string Difference(const Snapshot& before, const Snapshot& after);

// A parsed component of the given record, below the product directory.
UpdateComponent Component(const ComponentVariable& record, const char16_t* basePath = kProductDir);

// An engine holding a parsed package built from `root`, with the product's
// inputs set (no IIS backup).
void Prepare(Update& engine, const ComponentVariable& root, uint32_t mode);

}  // namespace package_test
