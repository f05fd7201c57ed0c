// IIS 7 and later with the IIS 6 metabase compatibility installed: there is
// no metabase file; the admin base objects show applicationHost.config as
// the compatibility layer maps it, and the changes made through them are
// written back there.
//
//   /LM/W3SVC                    IIsWebService; ScriptMaps <-> the server's
//                                ISAPI and CGI handler mappings,
//                                WebSvcExtRestrictionList <-> isapiCgiRestriction
//   /LM/W3SVC/Filters            IIsFilters; FilterLoadOrder and a key per
//   /LM/W3SVC/<id>/Filters       filter (FilterPath) <-> isapiFilters at the
//                                server level or in the website's location
//   /LM/W3SVC/<id>               IIsWebServer, ServerComment: the site's name
//   /LM/W3SVC/<id>/ROOT          IIsWebVirtualDir, Path: the root directory;
//                                ScriptMaps <-> the handler mappings of the
//                                site's location
//   /LM/W3SVC/AppPools[/<name>]  AppPoolIdentityType (and WAMUserName of a
//                                specific user) from applicationPools
//
// The websites and pools are shown as they are; a change to them, and any
// key or property the mapping does not cover, is kept by the service for
// as long as it runs and not stored (deviation: the compatibility layer
// refuses some of them).
#pragma once

#include <memory>
#include <string>

#include "platform/metabase/MetabaseKey.h"
#include "platform/win.h"

namespace metabase {

// Whether the selected server is IIS 7 or later with the compatibility
// installed (InetStp's MajorVersion and Components\Metabase).
bool UsesAppHostMetabase();
// The Windows path of the application host's file.
std::u16string AppHostMetabaseFile();

// The mapped view of applicationHost.config; the HRESULT of the failed read.
HRESULT ReadAppHostMetabase(std::unique_ptr<Key>& root);
// Writes what the mapped keys of `root` say into applicationHost.config,
// changing only what differs.
HRESULT WriteAppHostMetabase(const Key& root);

}  // namespace metabase
