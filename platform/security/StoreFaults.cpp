#include "platform/security/StoreFaults.h"

#include <mutex>
#include <new>

#include "platform/machine.h"

namespace winsec {
namespace {

std::string& LastText() {
  thread_local std::string text;
  return text;
}

}  // namespace

std::string LastStoreError() { return LastText(); }

DWORD GuardStore(const std::function<DWORD()>& body) {
  try {
    return body();
  } catch (const machine::MachineError& error) {
    LastText() = error.what();
    return kStoreFault;
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

DWORD WithAccounts(
    const std::function<DWORD(const machine::IniFile&, const AccountDatabase&)>& use) {
  machine::Machine& image = machine::RequireMachine();
  std::lock_guard<machine::ImageLock> lock(image.Lock());
  return GuardStore([&]() -> DWORD {
    return use(image.Settings(), AccountDatabase::FromSettings(image.Settings()));
  });
}

}  // namespace winsec
