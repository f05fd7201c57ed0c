// The metabase file. It is IIS 6's own MetaBase.xml (Iis6MetabaseXml.h);
// files in the stand-in's earlier form are still read, and written back in
// that form so that images made before keep their files:
//
//   <Metabase>
//     <Key name="LM">
//       <Key name="W3SVC">
//         <Property id="1002" name="KeyType" type="String"
//         userType="Server">IIsWebService</Property> <Property id="6014" name="ScriptMaps"
//         type="MultiSz" attributes="Inherit" userType="File">
//           <Value>.asp,C:\WINDOWS\system32\inetsrv\asp.dll,5,GET,HEAD,POST,TRACE</Value>
//         </Property>
//
// The root element is the key "/". "name" on a property is a reading aid and
// is ignored when the file is read; DWORDs are decimal, binary data is hex.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/metabase/MetabaseKey.h"

namespace metabase {

// Throws machine::MachineError naming the file and what is wrong.
// A tree read from a file is written back in that file's form; any other
// tree in IIS 6's.
std::unique_ptr<Key> ParseMetabaseXml(std::string_view text, const std::string& nameForErrors);
std::string SerializeMetabaseXml(const Key& root);

}  // namespace metabase
