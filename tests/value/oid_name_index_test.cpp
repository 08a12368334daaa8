// The registry's lookups by name and by contents octets, against a plain
// search over every entry: keys next to registered ones (one octet or
// character more, less or different) must find exactly what the search
// finds, also after enough additions to make the index grow.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/value/oid_name_registry.h"

namespace qx::test {
namespace {

class NameIndex : public ::testing::Test {
 protected:
  static const OidNameRegistry::Entry* Search(std::string_view key, bool by_name) {
    for (const OidNameRegistry::Entry* e : OidNameRegistry::entries()) {
      if ((by_name ? e->name : e->contents) == key) return e;
    }
    return nullptr;
  }

  // Keys around k: k itself, without its last octet, with one more octet,
  // with its last octet changed, and with its first octet changed.
  static std::vector<std::string> Around(const std::string& k) {
    std::vector<std::string> keys{k, k.substr(0, k.size() - 1), k + '\x01', k + 'a', k};
    keys.back().back() = static_cast<char>(keys.back().back() ^ 0x01);
    std::string first = k;
    first[0] = static_cast<char>(first[0] ^ 0x20);
    keys.push_back(first);
    return keys;
  }

  static void CheckAllAgainstSearch() {
    for (const OidNameRegistry::Entry* e : OidNameRegistry::entries()) {
      for (const std::string& key : Around(e->contents)) {
        ASSERT_EQ(OidNameRegistry::by_contents(key), Search(key, false)) << e->name;
      }
      for (const std::string& key : Around(e->name)) {
        ASSERT_EQ(OidNameRegistry::by_name(key), Search(key, true)) << key;
      }
    }
  }
};

TEST_F(NameIndex, KeysNextToRegisteredOnesFindWhatASearchFinds) {
  CheckAllAgainstSearch();
  EXPECT_EQ(OidNameRegistry::by_contents(""), nullptr);
  EXPECT_EQ(OidNameRegistry::by_name(""), nullptr);
}

TEST_F(NameIndex, StillExactAfterTheIndexGrows) {
  size_t before = OidNameRegistry::entries().size();
  for (int i = 0; i < 2 * static_cast<int>(before); ++i) {
    std::string dotted = "1.2.840.555.9." + std::to_string(i);
    ASSERT_TRUE(OidNameRegistry::add("indexGrowth" + std::to_string(i), Oid(dotted.c_str()),
                                     NameKind::kOther));
  }
  CheckAllAgainstSearch();
  EXPECT_EQ(OidNameRegistry::by_name("indexGrowth7")->contents,
            Oid("1.2.840.555.9.7").contents().view());
}

}  // namespace
}  // namespace qx::test
