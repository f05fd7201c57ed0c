#include "platform/com/ComClassTable.h"

namespace com {

ComClassTable& ComClassTable::Instance() {
  static ComClassTable table;
  return table;
}

ComClassTable::ComClassTable() { RegisterBuiltInServers(*this); }

void ComClassTable::Register(REFCLSID clsid, ClassCreator create) {
  std::lock_guard<std::mutex> hold(lock_);
  for (Entry& entry : entries_) {
    if (IsEqualGUID(entry.clsid, clsid)) {
      entry.create = std::move(create);
      return;
    }
  }
  entries_.push_back(Entry{clsid, std::move(create)});
}

void ComClassTable::Unregister(REFCLSID clsid) {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (IsEqualGUID(it->clsid, clsid)) {
      entries_.erase(it);
      return;
    }
  }
}

ClassCreator ComClassTable::Find(REFCLSID clsid) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (const Entry& entry : entries_) {
    if (IsEqualGUID(entry.clsid, clsid)) return entry.create;
  }
  return ClassCreator();
}

}  // namespace com
