#include "runcontrol/ini_example.h"

#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <string>

#include "runcontrol/config_keys.h"
#include "runcontrol/ini_file.h"
#include "runcontrol/run_driver.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::ReadFile;
using testing::SourceDir;
using testing::TempDir;
using testing::WriteFile;

const char kAbsent[] = "<absent>";

// The example with every key line switched on reads back, key by key, the table's
// default; copied as it is, it holds no key at all.
TEST(IniExampleTest, EveryKeyOfTheTableReadsBackItsDefault) {
  const std::string example = IniExample();
  TempDir dir;
  WriteFile(dir / "as-is.ini", example);
  WriteFile(dir / "on.ini", std::regex_replace(example, std::regex("\n;(\\w+=)"), "\n$1"));
  const IniFile as_is(dir / "as-is.ini"), on(dir / "on.ini");
  ASSERT_TRUE(on.Loaded());

  for (const config::Key& key : config::kGlobalKeys) {
    EXPECT_EQ(on.ReadString(key.section, key.key, kAbsent), key.default_value) << key.key;
    EXPECT_EQ(as_is.ReadString(key.section, key.key, kAbsent), kAbsent) << key.key;
  }
  int portal_lines = 0;
  for (const std::string& portal : PortalCodes()) {
    for (config::PortalKey key : config::PortalKeys()) {
      const char* owner = config::PortalKeyOwner(key);
      const std::string name = config::PortalKeyName(key);
      const std::string expected =
          owner == nullptr || portal == owner ? config::PortalDefault(portal, key) : kAbsent;
      EXPECT_EQ(on.ReadString(portal, name, kAbsent), expected) << portal << " " << name;
      EXPECT_EQ(as_is.ReadString(portal, name, kAbsent), kAbsent) << portal << " " << name;
      portal_lines += expected != kAbsent;
    }
  }
  // No key line but those of the table.
  const std::regex key_line("\n;\\w+=");
  const std::ptrdiff_t key_lines = std::distance(
      std::sregex_iterator(example.begin(), example.end(), key_line), std::sregex_iterator());
  EXPECT_EQ(key_lines, static_cast<std::ptrdiff_t>(std::size(config::kGlobalKeys)) + portal_lines);
}

// A key declared in the table's header but left out of kGlobalKeys would be missing from
// the example.
TEST(IniExampleTest, GlobalKeyListHoldsEveryDeclaredKey) {
  const std::string header = ReadFile(SourceDir() + "/src/runcontrol/config_keys.h");
  const std::regex declaration("inline constexpr Key (k\\w+)\\{");
  std::string declared, listed;
  for (auto it = std::sregex_iterator(header.begin(), header.end(), declaration);
       it != std::sregex_iterator(); ++it)
    declared += (*it)[1].str() + " ";
  std::smatch list;
  ASSERT_TRUE(std::regex_search(header, list, std::regex("kGlobalKeys\\[\\] = \\{([^}]*)\\}")));
  const std::string names = list[1].str();
  const std::regex name("k\\w+");
  for (auto it = std::sregex_iterator(names.begin(), names.end(), name);
       it != std::sregex_iterator(); ++it)
    listed += it->str() + " ";
  EXPECT_EQ(listed, declared);
}

}  // namespace
}  // namespace kalvex
