#include "exports/vehicle_index.h"

#include <gtest/gtest.h>

#include "exports/vehicle_document.h"

namespace kalvex {
namespace {

TEST(VehicleIndexTest, AnswersAsTheVehicleQuery) {
  XMLCursorPtr document = CreateXMLCursor();
  document->LoadXML(
      "<document><DataVOS>"
      "<DataVO><idNVO>42</idNVO><n>a</n></DataVO>"
      "<DataVO><idNVO> 7 </idNVO><n>b</n></DataVO>"
      "<DataVO><idNVO>42.0</idNVO><n>c</n></DataVO>"
      "<DataVO><idNVO>abc</idNVO><n>d</n></DataVO>"
      "<DataVO><idNVO>-0</idNVO><n>e</n></DataVO>"
      "<DataVO><n>f</n></DataVO>"
      "<DataVO><idNVO>9</idNVO><idNVO>10</idNVO><n>g</n></DataVO>"
      "</DataVOS></document>");
  VehicleIndex index(*document, "idNVO");
  for (const char* id : {"42", "042", "42.", " 7", "7.0", "0", "-0", ".0", "10", "9", "8", "abc",
                         "1 or 1=1", "-42"}) {
    XMLCursorPtr by_query = document->Select(VehicleByKeyXPath("idNVO", id));
    IXMLCursor* found = index.Find(id);
    if (by_query->Eof()) {
      EXPECT_EQ(found, nullptr) << id;
    } else {
      ASSERT_NE(found, nullptr) << id;
      EXPECT_EQ(found->GetValue("n"), by_query->GetValue("n")) << id;
    }
  }
  EXPECT_EQ(index.Find("10")->GetValue("n"), "g");
  EXPECT_THROW(index.Find(" "), EmptyIdentifierError);
}

}  // namespace
}  // namespace kalvex
