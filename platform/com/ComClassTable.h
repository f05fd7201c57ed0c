// The classes the stand-in can create, by CLSID. CoCreateInstance consults
// it after it has found the class registered in the simulated registry: the
// registry says what is installed on the server, this table says what the
// stand-in implements.
//
// A server of the simulated machine offers a class by adding one line to
// the list in platform/com/ComServers.cpp (the list is explicit because a
// static library drops object files that nothing references, registrar
// objects included). Tests may register classes of their own and must
// unregister them again.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "platform/win.h"

namespace com {

// Creates a new object of the class and answers the requested interface,
// holding one reference for the caller; E_NOINTERFACE when the object has
// no such interface. The outer object is refused before the creator runs.
using ClassCreator = std::function<HRESULT(REFIID riid, void** ppv)>;

class ComClassTable {
 public:
  // The process's table, filled with the stand-in's servers on first use.
  static ComClassTable& Instance();

  void Register(REFCLSID clsid, ClassCreator create);  // replaces an entry
  void Unregister(REFCLSID clsid);
  // A copy of the creator, or an empty function when the class is unknown.
  ClassCreator Find(REFCLSID clsid) const;

 private:
  ComClassTable();
  struct Entry {
    CLSID clsid;
    ClassCreator create;
  };
  mutable std::mutex lock_;
  std::vector<Entry> entries_;
};

// Adds the stand-in's own servers; defined in ComServers.cpp.
void RegisterBuiltInServers(ComClassTable& table);

}  // namespace com
