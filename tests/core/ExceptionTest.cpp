#include <gtest/gtest.h>

#include <string>

#include "core/CSPException.h"
#include "core/CSPThrow.h"

namespace {

std::string Str(const CSPString& text) { return text.GetString(); }

TEST(ExceptionTest, SystemTextFollowsTheCurrentCode) {
  CSPSystemException e(CSPSystemException::OutOfRange);
  EXPECT_EQ(Str(e.GetText()), "Out of range");
  e.SetCode(CSPSystemException::OutOfMemory);
  EXPECT_EQ(Str(e.GetText()), "Out of memory");
  e.SetCode(7);
  EXPECT_EQ(Str(e.GetText()), "Unknown");
  e.SetCode(0);
  EXPECT_EQ(Str(e.GetText()), "Unknown");
  e.SetText("ignored");
  EXPECT_EQ(Str(e.GetText()), "Unknown");
}

TEST(ExceptionTest, CategoryThroughTheBaseClass) {
  const CSPException generic("message");
  const CSPSystemException system(CSPSystemException::OutOfRange);
  const CSPException& base = system;
  EXPECT_EQ(Str(generic.GetCategory()), "Generic");
  EXPECT_EQ(Str(base.GetCategory()), "System");
  EXPECT_EQ(Str(base.GetText()), "Out of range");
}

TEST(ExceptionTest, MessageAndCodeAreKeptAndCopied) {
  CSPException e("Could not open the file", 0);
  e.throwOnError = false;
  EXPECT_EQ(e.GetCode(), 0);
  const CSPException copy(e);
  EXPECT_EQ(Str(copy.GetText()), "Could not open the file");
  EXPECT_EQ(copy.GetCode(), 0);
  EXPECT_FALSE(copy.throwOnError);
  e.SetText("other");
  e.SetCode(3);
  EXPECT_EQ(Str(e.GetText()), "other");
  EXPECT_EQ(e.GetCode(), 3);
  EXPECT_EQ(Str(copy.GetText()), "Could not open the file");

  const CSPSystemException system(CSPSystemException::OutOfRange);
  const CSPSystemException systemCopy(system);
  EXPECT_EQ(Str(systemCopy.GetText()), "Out of range");
}

// Reporting an out-of-memory failure must not need memory: the texts are
// the process-wide constants, the same objects every time.
TEST(ExceptionTest, OutOfMemoryTextsAreSharedConstants) {
  const CSPSystemException a(CSPSystemException::OutOfMemory);
  const CSPSystemException b(CSPSystemException::OutOfMemory);
  EXPECT_EQ(&a.GetText(), &b.GetText());
  EXPECT_EQ(&a.GetCategory(), &b.GetCategory());
  EXPECT_EQ(&CSPException("x").GetCategory(), &CSPException("y").GetCategory());
}

TEST(ExceptionTest, ThrowFunctionsThrowSystemExceptions) {
  try {
    CSPThrowOutOfMemory();
  } catch (const CSPException& e) {
    EXPECT_EQ(Str(e.GetCategory()), "System");
    EXPECT_EQ(e.GetCode(), CSPSystemException::OutOfMemory);
    EXPECT_EQ(Str(e.GetText()), "Out of memory");
  }
  EXPECT_THROW(CSPThrowOutOfRange(), CSPSystemException);
  try {
    CSPThrowOutOfRange();
  } catch (const CSPSystemException& e) {
    EXPECT_EQ(e.GetCode(), CSPSystemException::OutOfRange);
  }
}

}  // namespace
