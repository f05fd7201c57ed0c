// One website as the website page shows it: display name, site ID and
// whether the product is enabled on it.
#pragma once

#include "core/CSPString.h"

class RWSite {
 public:
  virtual ~RWSite() = default;

  CSPWString name;
  CSPWString id;
  bool enabled = false;
};
