// The website list of the website page: the websites IIS knows, which of
// them the product is enabled on, and the website enable list file
// "EnableSites.lst" in the installation directory that the product reads at
// run time ("$ENABLE_ALL$" or "$ENABLE_ONLY$", then the enabled site IDs;
// UTF-8, every line ended by CR LF).
#pragma once

#include <cstdint>

#include "core/CSPList.h"
#include "core/CSPMap.h"
#include "core/CSPString.h"
#include "iis/ProductListFiles.h"
#include "iis/RWSite.h"

class IISHelper;

class RWSiteList {
 public:
  // Where Load takes the websites from.
  static constexpr uint32_t FromFile = 0;
  static constexpr uint32_t FromMetabase = 1;
  static constexpr uint32_t FromAppHost = 2;

  // `show` receives IIS failures (errors) and file failures (warnings);
  // without it nothing is shown.
  explicit RWSiteList(ListMessage show = ListMessage());
  virtual ~RWSiteList() = default;

  // Mode 0: only the file; 1: the metabase; 2: the application host (both
  // rewrite the file from what they found). False for an IIS failure or any
  // other mode.
  bool Load(uint32_t mode);
  // Rebuilds the enabled IDs from the websites' flags and writes the file.
  void Save();

  CSPList<CSPWString> enabledIds;
  CSPMap<CSPWString, RWSite> allSites;
  bool enableAll = true;
  CSPMap<CSPWString, RWSite> listedSites;

 private:
  void ReadEnableList();
  bool ReadMetabaseSites();
  bool ReadAppHostSites();
  bool FilterInstalledAt(IISHelper& iis, const CSPWString& key);
  bool Fail(const char16_t* text);
  void Error(const CSPWString& text);
  void AddSite(const CSPWString& id, const CSPWString& name, bool enabled);

  ListMessage show;
};
