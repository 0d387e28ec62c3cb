#include "xml/attribute_limit.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvex {
namespace {

std::string Attributes(int count, const std::string& value = "") {
  std::string text;
  for (int i = 0; i < count; ++i) text += " a" + std::to_string(i) + "=\"" + value + "\"";
  return text;
}

// Fed whole, then a byte at a time: pieces may end anywhere.
bool Passes(const std::string& bytes, bool detect = false) {
  AttributeLimit whole(detect, 4);
  AttributeLimit bytewise(detect, 4);
  bool bytewise_passes = true;
  for (char c : bytes) bytewise_passes = bytewise.Feed(std::string_view(&c, 1)) && bytewise_passes;
  const bool passes = whole.Feed(bytes);
  EXPECT_EQ(passes, bytewise_passes) << bytes;
  if (!passes) {
    EXPECT_EQ(whole.line(), bytewise.line());
    EXPECT_EQ(whole.column(), bytewise.column());
    EXPECT_EQ(whole.element(), bytewise.element());
  }
  return passes;
}

TEST(AttributeLimitTest, StopsAtTheElementPastTheLimitAndSaysWhereItStands) {
  AttributeLimit limit(false);
  EXPECT_TRUE(limit.Feed("<document>\n  <ok" + Attributes(256) + "/>\n  <é:big"));
  EXPECT_FALSE(limit.Feed(Attributes(300) + "/></document>"));
  EXPECT_TRUE(limit.Exceeded());
  EXPECT_EQ(limit.element(), "é:big");
  EXPECT_EQ(limit.line(), 3);
  EXPECT_EQ(limit.column(), 3);
  EXPECT_FALSE(limit.Feed("<x/>"));  // stays stopped
}

TEST(AttributeLimitTest, CountsOnlyTheAttributesOfStartTags) {
  EXPECT_TRUE(Passes("<a" + Attributes(4, "=>'=") + "></a>"));
  EXPECT_FALSE(Passes("<a b='x'" + Attributes(4) + ">"));
  // Markup whose text holds "=" without being a start tag.
  for (const std::string& other :
       {std::string("<!-- <a b=1 c=2 d=3 e=4 f=5> -->"), std::string("<![CDATA[<a ===== >]]>"),
        std::string("<?pi a=1 b=2 c=3 d=4 e=5 ?>"),
        std::string("t = = = = = </a b=c d=e f=g h=i j=k>"),
        std::string("<!DOCTYPE r [<!-- ' --><!ENTITY e 'a=b=c=d=e=>'><?p ===== ?>] >")})
    EXPECT_TRUE(Passes("<r>" + other + "<a" + Attributes(4) + "/></r>")) << other;
}

TEST(AttributeLimitTest, ReadsTheEncodingsTheParserDetects) {
  const std::string text = "<?xml version='1.0'?>\n<r" + Attributes(5) + "/>";
  std::string le, be;
  for (char c : text) {
    le += std::string{c, '\0'};
    be += std::string{'\0', c};
  }
  EXPECT_FALSE(Passes(le, true));
  EXPECT_FALSE(Passes(be, true));
  EXPECT_FALSE(Passes("\xFF\xFE" + le, true));
  // As UTF-8 text the same bytes are not markup.
  EXPECT_TRUE(Passes(le, false));
  AttributeLimit utf16(true, 4);
  utf16.Feed(le);
  EXPECT_EQ(utf16.element(), "r");
  EXPECT_EQ(utf16.line(), 2);
}

}  // namespace
}  // namespace kalvex
