#include "exports/vehicle_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(PhotoLinkIndexTest, AnswersAsThePhotoQuery) {
  XMLCursorPtr document = CreateXMLCursor();
  document->LoadXML(
      "<document><LiensImagesS>"
      "<LiensImages><idNVO>42</idNVO><NomImage>a</NomImage></LiensImages>"
      "<LiensImages><idNVO> 7 </idNVO><NomImage>b</NomImage></LiensImages>"
      "<LiensImages><idNVO>042.0</idNVO><NomImage>c</NomImage></LiensImages>"
      "<LiensImages><idNVO>abc</idNVO><NomImage>d</NomImage></LiensImages>"
      "<LiensImages><idNVO>9</idNVO><idNVO>10</idNVO><idNVO>9</idNVO><NomImage>e</NomImage>"
      "</LiensImages>"
      "<LiensImages><NomImage>f</NomImage></LiensImages>"
      "<LiensImages><idNVO>-0</idNVO><NomImage>g</NomImage><NomImage>h</NomImage></LiensImages>"
      "</LiensImagesS></document>");
  const PhotoLinkIndex index(*document);
  for (const char* id :
       {"42", "042", "42.", " 7", "7.0", "0", ".0", "10", "9", "8", "abc", "1 or 1=1", "-42"}) {
    std::vector<std::string> by_query;
    for (XMLCursorPtr links = document->Select(PhotosOfVehicleXPath(id)); !links->Eof();
         links->Next())
      by_query.push_back(links->GetValue("NomImage"));
    EXPECT_EQ(index.ImagesOf(id), by_query) << id;
  }
  EXPECT_EQ(index.ImagesOf("42"), (std::vector<std::string>{"a", "c"}));
  EXPECT_THROW(index.ImagesOf(""), EmptyIdentifierError);
}

}  // namespace
}  // namespace kalvex
