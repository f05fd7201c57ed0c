// Subkeys are found by name without regard to case, also after subkeys of
// the same name come and go, are renamed or the key is cloned.
#include <gtest/gtest.h>

#include "platform/metabase/MetabaseKey.h"

namespace {

using metabase::Key;

TEST(MetabaseKey, FindsSubkeysIgnoringCase) {
  Key w3svc(u"W3SVC");
  Key& site = w3svc.AddChild(u"1");
  Key& filters = w3svc.AddChild(u"Filters");
  Key& pool = w3svc.AddChild(u"Pool\u00C4");
  EXPECT_EQ(w3svc.FindChild(u"1"), &site);
  EXPECT_EQ(w3svc.FindChild(u"FILTERS"), &filters);
  EXPECT_EQ(w3svc.FindChild(u"pool\u00E4"), &pool);
  EXPECT_EQ(w3svc.FindChild(u"Filter"), nullptr);
  EXPECT_EQ(w3svc.FindChild(u""), nullptr);
}

TEST(MetabaseKey, RepeatedNameFindsTheFirstUntilItGoes) {
  Key parent(u"ROOT");
  Key& first = parent.AddChild(u"app");
  Key& second = parent.AddChild(u"APP");
  EXPECT_EQ(parent.FindChild(u"App"), &first);
  EXPECT_TRUE(parent.RemoveChild(u"app"));
  EXPECT_EQ(parent.FindChild(u"app"), &second);
  EXPECT_TRUE(parent.RemoveChild(u"app"));
  EXPECT_EQ(parent.FindChild(u"app"), nullptr);
  EXPECT_FALSE(parent.RemoveChild(u"app"));
  EXPECT_TRUE(parent.Children().empty());
}

TEST(MetabaseKey, RenamedSubkeyIsFoundByItsNewNameOnly) {
  Key parent(u"W3SVC");
  parent.AddChild(u"1");
  Key& site = parent.AddChild(u"2");
  parent.AddChild(u"3");
  EXPECT_TRUE(parent.RenameChild(u"2", u"Shop"));
  EXPECT_EQ(parent.FindChild(u"2"), nullptr);
  EXPECT_EQ(parent.FindChild(u"SHOP"), &site);
  EXPECT_EQ(site.Name(), u"Shop");
  EXPECT_EQ(parent.Children()[1].get(), &site);  // keeps its place
  // Back to a name that differs only in case.
  EXPECT_TRUE(parent.RenameChild(u"shop", u"shop"));
  EXPECT_EQ(parent.FindChild(u"Shop"), &site);
  EXPECT_FALSE(parent.RenameChild(u"4", u"5"));
  EXPECT_EQ(parent.FindChild(u"5"), nullptr);
}

TEST(MetabaseKey, CloneFindsItsOwnSubkeys) {
  Key parent(u"LM");
  parent.AddChild(u"W3SVC").AddChild(u"1");
  const auto copy = parent.Clone();
  Key* w3svc = copy->FindChild(u"w3svc");
  ASSERT_NE(w3svc, nullptr);
  EXPECT_NE(w3svc, parent.FindChild(u"W3SVC"));
  EXPECT_EQ(w3svc, copy->Children().front().get());
  ASSERT_NE(w3svc->FindChild(u"1"), nullptr);
  EXPECT_EQ(w3svc->FindChild(u"1"), w3svc->Children().front().get());
}

}  // namespace
