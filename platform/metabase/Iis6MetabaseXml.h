// IIS 6's own MetaBase.xml: under <configuration><MBProperty>, one element
// per key, named after its key type and placed by its Location; properties
// IIS knows by name are attributes, the others <Custom> elements.
//
//   <IIsWebService	Location ="/LM/W3SVC"
//   		ScriptMaps=".asp,C:\WINDOWS\system32\inetsrv\asp.dll,5,GET,HEAD,POST,TRACE
//   			.cer,C:\WINDOWS\system32\inetsrv\asp.dll,5,GET,HEAD,POST,TRACE"
//   	>
//   	<Custom
//   		Name="UnknownName_2166"
//   		ID="2166"
//   		...
//   	/>
//   </IIsWebService>
//
// Keys read from a file remember how they were written (MetabaseLayout.h).
#pragma once

#include <memory>
#include <string>

#include "platform/metabase/MetabaseKey.h"

namespace metabase {

// Null when the root element is not <configuration>; throws
// machine::MachineError naming the file for anything else that is wrong.
std::unique_ptr<Key> ParseIis6Metabase(const std::string& text, const std::string& nameForErrors);
std::string SerializeIis6Metabase(const Key& root);

}  // namespace metabase
