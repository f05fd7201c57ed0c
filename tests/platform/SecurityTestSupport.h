// Helpers for the security tests: SIDs and ACLs written and read as text,
// the accounts of an IIS server put into the selected image, and a fixture
// that disarms injected failures after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/security/Accounts.h"
#include "platform/security/FaultInjection.h"
#include "platform/security/Sddl.h"
#include "platform/win.h"
#include "tests/support/TempMachine.h"

namespace quaver::test {

// A SID block in the test's own memory; converts to PSID.
class TestSid {
 public:
  explicit TestSid(const char* text) {
    auto sid = winsec::ParseSidToken(text);
    EXPECT_TRUE(sid.has_value()) << text;
    if (sid) bytes_ = *sid;
  }
  PSID get() { return bytes_.empty() ? nullptr : bytes_.data(); }
  operator PSID() { return get(); }  // NOLINT: stands in for a PSID

 private:
  std::vector<BYTE> bytes_;
};

inline std::string SidText(PSID sid) {
  return sid ? winsec::SidToString(winsec::SidFromPointer(sid)) : std::string("(null)");
}

// The entries of an ACL in SDDL ("(A;OICI;FA;;;BA)..."); "null" for none.
inline std::string AclText(PACL acl, winsec::RightsStyle style = winsec::RightsStyle::File) {
  if (acl == nullptr) return "null";
  std::vector<winsec::Ace> aces;
  if (!winsec::ReadAcl(acl, aces)) return "malformed";
  winsec::SecurityRecord record;
  record.dacl = winsec::AclPart::Of(aces);
  return winsec::FormatSddl(record, style).substr(2);  // without "D:"
}

// An ACL in a LocalAlloc block from its entries in SDDL; freed by the owner.
class TestAcl {
 public:
  explicit TestAcl(const std::string& entries) {
    winsec::SecurityRecord record;
    std::string error;
    EXPECT_TRUE(winsec::ParseSddl("D:" + entries, record, error)) << entries << ": " << error;
    acl_ = winsec::AllocateAcl(record.dacl.aces);
  }
  ~TestAcl() { LocalFree(acl_); }
  TestAcl(const TestAcl&) = delete;
  TestAcl& operator=(const TestAcl&) = delete;
  PACL get() const { return acl_; }

 private:
  PACL acl_;
};

// Replaces the accounts of the selected image by those of a server with
// the given IIS accounts.
inline void InstallAccounts(winsec::IisAccounts iis) {
  machine::Machine& image = machine::RequireMachine();
  winsec::AccountDatabase::Defaults(winsec::ComputerNameOf(image.Settings()), iis)
      .WriteTo(image.Settings());
  image.SaveSettings();
}

class SecurityTest : public TempMachineTest {
 protected:
  void TearDown() override { winsec::ClearInjectedFailures(); }
};

}  // namespace quaver::test
