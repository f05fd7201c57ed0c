// Trees of access lists: removing an object's list together with everything
// below it, as a deleted folder or key forgets its tree, and inheritance
// through as many levels as a Windows path can hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/security/Sddl.h"
#include "platform/security/SecurityStore.h"

namespace {

using winsec::ObjectKind;
using winsec::SecurityStore;

constexpr char kLines[] =
    "file C:\\ D:P(A;OICI;FA;;;BA)\n"
    "file C:\\a D:P\n"
    "file C:\\a\\b D:P\n"
    "file C:\\A\\B\\c.txt D:P\n"
    "file C:\\ab D:P\n"
    "file C:\\a b D:P\n"
    "file D:\\a D:P\n"
    "key MACHINE\\a D:P\n"
    "key MACHINE\\a\\b D:P\n";

struct TreeCase {
  const char* title;
  ObjectKind kind;
  const char16_t* name;
  bool removed;
  std::vector<const char16_t*> kept;  // of the file objects named above
};

TEST(SecurityStoreTree, RemovesTheObjectAndExactlyWhatIsBelowIt) {
  const std::vector<const char16_t*> files = {
      u"C:\\", u"C:\\a", u"C:\\a\\b", u"C:\\a\\b\\c.txt", u"C:\\ab", u"C:\\a b", u"D:\\a"};
  const std::vector<TreeCase> cases = {
      {"folder, any case",
       ObjectKind::File,
       u"c:\\A",
       true,
       {u"C:\\", u"C:\\ab", u"C:\\a b", u"D:\\a"}},
      {"a folder without a line of its own",
       ObjectKind::File,
       u"C:\\a\\B",
       true,
       {u"C:\\", u"C:\\a", u"C:\\ab", u"C:\\a b", u"D:\\a"}},
      {"the drive root", ObjectKind::File, u"C:\\", true, {u"D:\\a"}},
      {"nothing there", ObjectKind::File, u"C:\\a\\x", false, files},
      {"a key of the same name", ObjectKind::RegistryKey, u"C:\\a", false, files},
      {"keys", ObjectKind::RegistryKey, u"MACHINE\\A", true, files},
  };
  for (const TreeCase& c : cases) {
    SCOPED_TRACE(c.title);
    SecurityStore store = SecurityStore::Parse(kLines, "security.sddl");
    EXPECT_EQ(store.RemoveWithDescendants(c.kind, c.name), c.removed);
    for (const char16_t* name : files) {
      const bool kept =
          std::find(c.kept.begin(), c.kept.end(), std::u16string_view(name)) != c.kept.end();
      EXPECT_EQ(store.Find(ObjectKind::File, name) != nullptr, kept)
          << std::string(name, name + std::char_traits<char16_t>::length(name));
    }
    const bool keysGone = c.kind == ObjectKind::RegistryKey && c.removed;
    EXPECT_EQ(store.Find(ObjectKind::RegistryKey, u"MACHINE\\a\\b") == nullptr, keysGone);
    // What is left is still found and written by name.
    SecurityStore again = SecurityStore::Parse(store.Serialize(), "rewritten");
    for (const char16_t* name : c.kept) EXPECT_NE(again.Find(ObjectKind::File, name), nullptr);
  }
}

// 16,000 levels make a name of 32,002 characters, just under Windows' limit
// for a path; what the top folder passes on reaches the bottom.
TEST(SecurityStoreTree, InheritanceReachesTheBottomOfTheLongestPath) {
  const SecurityStore store =
      SecurityStore::Parse("file C:\\a D:P(A;OICI;FA;;;BA)(A;CINP;FR;;;BU)\n", "security.sddl");
  std::u16string name = u"C:\\a";
  for (int level = 0; level < 16000; ++level) name += u"\\x";
  const winsec::SecurityRecord shown = store.Effective(ObjectKind::File, name, true);
  ASSERT_EQ(shown.dacl.aces.size(), 1u);  // the entry that does not propagate stopped at once
  EXPECT_TRUE(shown.dacl.aces[0].Inherited());
  EXPECT_EQ(winsec::FormatSddl(shown, winsec::RightsStyle::File), "O:BAG:SYD:(A;OICIID;FA;;;BA)");
}

}  // namespace
