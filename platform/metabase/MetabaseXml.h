// The metabase file: a readable XML form of the key tree.
//
//   <Metabase>
//     <Key name="LM">
//       <Key name="W3SVC">
//         <Property id="1002" name="KeyType" type="String" userType="Server">IIsWebService</Property>
//         <Property id="6014" name="ScriptMaps" type="MultiSz" attributes="Inherit" userType="File">
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
std::unique_ptr<Key> ParseMetabaseXml(std::string_view text, const std::string& nameForErrors);
std::string SerializeMetabaseXml(const Key& root);

}  // namespace metabase
