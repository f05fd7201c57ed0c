// Checks a package tree against what the installer accepts, with the
// component schema the engine itself uses, and says what is wrong in the
// package maker's terms: which component or condition, which field, why.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/ComponentVariable.h"
#include "package/UpdateCondition.h"

namespace cvsp {

struct Finding {
  // kError: the installer refuses the package. kWarning: it accepts it, but
  // the package does not do what its maker most likely meant.
  enum Level { kError, kWarning };
  Level level;
  std::string where;  // "component #1 (FILE)", "condition #0", "VERSION_STRING" ...
  std::string text;
};

std::vector<Finding> CheckPackage(uint32_t formatVersion, const ComponentVariable& root);

bool HasErrors(const std::vector<Finding>& findings);

// "error: <where>: <text>" or "warning: ...".
std::string FindingLine(const Finding& finding);

// How the engine evaluates a condition against its fact, in words: "runs
// only when IISVERSION >= 7", "always skipped: ...", "ignored: ...".
std::string DescribeCondition(const UpdateCondition& condition);

// The name of the node's type ("STRING") or its code ("type 0x07").
std::string TypeName(uint8_t type);

}  // namespace cvsp
