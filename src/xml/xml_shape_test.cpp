#include "xml/xml_shape.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalvex {
namespace {

using ::testing::ElementsAre;

XMLCursorPtr Parsed(const std::string& text) {
  XMLCursorPtr cursor = CreateXMLCursor();
  cursor->LoadXML(text);
  return cursor;
}

// The root's children as a name test sees them: a default namespace is a namespace,
// comments, instructions and blank text are left out, text is no element.
TEST(XMLShape, TopLevelAndChildNamesAsTheNameTestSeesThem) {
  XMLCursorPtr doc = Parsed(
      "<document><!-- c --><?pi x?><A><b/>t<c/><!-- d --><b/></A>"
      "<B xmlns=\"urn:x\"/><p:C xmlns:p=\"urn:y\"/>text</document>");
  const XMLTopLevel top = TopLevelOf(*doc);
  ASSERT_TRUE(top.root);
  EXPECT_TRUE(top.root->FoundBy("document"));
  ASSERT_EQ(top.children.size(), 4u);
  EXPECT_TRUE(top.children[0]->FoundBy("A"));
  EXPECT_FALSE(top.children[0]->FoundBy(""));
  EXPECT_EQ(top.children[1]->name, "B");
  EXPECT_FALSE(top.children[1]->FoundBy("B"));
  EXPECT_EQ(top.children[2]->name, "p:C");
  EXPECT_FALSE(top.children[3]);
  EXPECT_THAT(ChildElementNames(*doc->Select("A")), ElementsAre("b", "c", "b"));
  EXPECT_TRUE(ChildElementNames(*doc->Select("Z")).empty());
  EXPECT_FALSE(TopLevelOf(*CreateXMLCursor()).root);
}

// A marker is stray unless its parent, grandparent... are the elements named, in no
// namespace; one written with a default namespace still counts as a marker.
TEST(XMLShape, FirstElementOutsideItsPlace) {
  const auto stray = [](const std::string& text) {
    return FirstElementOutside(*Parsed(text), {"M", "N"}, {"document", "S", "R"});
  };
  EXPECT_FALSE(stray("<document><S><R><M/><N/></R></S></document>"));
  EXPECT_EQ(stray("<document><S><R><M/></R><N/></S></document>"), "N");
  EXPECT_EQ(stray("<document><S><R><x><N/></x></R></S></document>"), "N");
  EXPECT_EQ(stray("<document><S xmlns=\"urn:x\"><R><M/></R></S></document>"), "M");
  EXPECT_EQ(stray("<M/>"), "M");
  EXPECT_FALSE(stray("<document><S><R><p:M xmlns:p=\"urn:y\"/></R></S><Q/></document>"));
}

}  // namespace
}  // namespace kalvex
