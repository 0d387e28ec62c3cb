#include "exports/vehicle_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

using ::testing::HasSubstr;

XMLCursorPtr LoadSample(const std::string& portal_name) {
  XMLCursorPtr cursor = CreateXMLCursor();
  cursor->Load(testing::SourceDir() + "/tests/data/" + VehicleDocumentName(portal_name));
  return cursor;
}

int32_t CountOf(IXMLCursor& document, const std::string& xpath) {
  return document.Select(xpath)->Count();
}

TEST(VehicleDocumentNameTest, NamesTheDocumentOfEachPortal) {
  EXPECT_EQ(VehicleDocumentName("ParuVendu"), "ExpDatasParuVendu.xml");
  EXPECT_EQ(VehicleDocumentName("LeBonCoin"), "ExpDatasLeBonCoin.xml");
  EXPECT_EQ(VehicleDocumentPath("C:\\Windows\\TEMP\\Kalvex", "InfoPress"),
            "C:\\Windows\\TEMP\\Kalvex\\ExpDatasInfoPress.xml");
}

TEST(RecordSetTest, NamesAndTagMarkers) {
  EXPECT_EQ(RecordSetName(kVehicleRecord), "DataVOS");
  EXPECT_EQ(RecordSetName(kCoordinatesRecord), "COORDONNEESS");
  EXPECT_EQ(RecordSetTagStart(kVehicleRecord), "<DataVOS EOF=\"");
  EXPECT_EQ(RecordSetTagEnd(kVehicleRecord), "RecordName=\"DataVO\">");
  EXPECT_EQ(RecordSetTagStart(kCoordinatesRecord), "<COORDONNEESS EOF=\"");
  EXPECT_EQ(RecordSetTagEnd(kCoordinatesRecord), "RecordName=\"COORDONNEES\">");
}

TEST(RecordSetTest, SerialisedSampleHoldsTheTagMarkers) {
  XMLCursorPtr document = LoadSample("SitAutoPro");
  const std::string text = document->XML();
  const std::string vehicles_tag =
      RecordSetTagStart(kVehicleRecord) + "False\" " + RecordSetTagEnd(kVehicleRecord);
  const std::string coordinates_tag =
      RecordSetTagStart(kCoordinatesRecord) + "False\" " + RecordSetTagEnd(kCoordinatesRecord);
  EXPECT_EQ(vehicles_tag, "<DataVOS EOF=\"False\" RecordName=\"DataVO\">");
  ASSERT_NE(text.find(vehicles_tag), std::string::npos);
  ASSERT_NE(text.find(coordinates_tag), std::string::npos);
  EXPECT_LT(text.find(coordinates_tag), text.find(vehicles_tag));
}

TEST(SampleDocumentsTest, EveryPortalSampleHasTheCommonLayout) {
  for (const char* portal :
       {"ParuVendu", "AutoScout24", "SitAutoPro", "TopAnnonces", "LeBonCoin", "InfoPress"}) {
    SCOPED_TRACE(portal);
    XMLCursorPtr document = LoadSample(portal);
    EXPECT_EQ(document->NodeName(), "document");
    EXPECT_GE(CountOf(*document, kVehiclesXPath), 2);
    EXPECT_GE(CountOf(*document, kPhotoLinksXPath), 3);
    EXPECT_GE(CountOf(*document, kEquipmentLabelsXPath), 1);
    for (const char* removed : kRemovedBeforeOutputXPaths)
      EXPECT_EQ(CountOf(*document, removed), 1) << removed;
  }
}

TEST(SampleDocumentsTest, ParuVenduSampleContent) {
  XMLCursorPtr document = LoadSample("ParuVendu");
  EXPECT_EQ(CountOf(*document, kVehiclesXPath), 3);
  EXPECT_EQ(CountOf(*document, kPhotoLinksXPath), 5);
  EXPECT_EQ(CountOf(*document, kEquipmentLabelsXPath), 11);
  XMLCursorPtr vehicles = document->Select(kVehiclesXPath);
  vehicles->Next();
  EXPECT_EQ(vehicles->GetValue("SousRubrique"), "Citroën");
  EXPECT_EQ(vehicles->GetValue("Prix"), "9 490 €");
  EXPECT_EQ(vehicles->GetValue(kEquipmentFields.interior), ";clim;Pack'Confort;");
}

TEST(SampleDocumentsTest, SitAutoProSampleHasCoordinates) {
  XMLCursorPtr document = LoadSample("SitAutoPro");
  XMLCursorPtr coordinates = document->Select(kCoordinatesXPath);
  ASSERT_FALSE(coordinates->Eof());
  EXPECT_EQ(coordinates->GetValue(kClientCodeField), "SAP0421");
  EXPECT_EQ(coordinates->GetValue("RAISON_SOCIALE"), "Garage de l'Étoile");
}

TEST(IsDecimalIdentifierTest, AcceptsNumbersAsXPathReadsThem) {
  for (const char* id : {"0", "101", "0102", " 12 ", "\t7\n", "-3", "12.", "12.50", ".5"})
    EXPECT_TRUE(IsDecimalIdentifier(id)) << id;
}

TEST(IsDecimalIdentifierTest, RejectsEverythingElse) {
  for (const char* id : {"", " ", "-", ".", "1 or 1=1", "1]", "abc", "1e3", "1 2", "+1", "12a",
                         "١٢", "1,5", "'1'", "1.2.3", "- 1"})
    EXPECT_FALSE(IsDecimalIdentifier(id)) << id;
}

TEST(IdentifierQueryTest, BuildsTheQueryOfADecimalIdentifier) {
  EXPECT_EQ(VehicleByKeyXPath(kVehicleKeyIdNVO, "101"), "/document/DataVOS/DataVO[idNVO=101]");
  EXPECT_EQ(VehicleByKeyXPath(kVehicleKeyREFERENCE, " 301 "),
            "/document/DataVOS/DataVO[REFERENCE=301]");
  EXPECT_EQ(VehicleByKeyXPath(kVehicleKeyReference, "402"),
            "/document/DataVOS/DataVO[reference=402]");
  EXPECT_EQ(PhotosOfVehicleXPath("201"), "/document/LiensImagesS/LiensImages[idNVO=201]");
}

TEST(IdentifierQueryTest, NonNumericIdentifierGivesAQueryMatchingNothing) {
  EXPECT_EQ(VehicleByKeyXPath(kVehicleKeyIdNVO, "1 or 1=1"), "/document/DataVOS/DataVO[false()]");
  EXPECT_EQ(PhotosOfVehicleXPath("x"), "/document/LiensImagesS/LiensImages[false()]");
}

TEST(IdentifierQueryTest, EmptyIdentifierEndsTheExport) {
  try {
    VehicleByKeyXPath(kVehicleKeyIdNVO, "");
    FAIL() << "no error";
  } catch (const EmptyIdentifierError& error) {
    EXPECT_STREQ(error.what(),
                 "Identifiant vide dans la requête XPath \"/document/DataVOS/DataVO[idNVO=]\"");
  }
  try {
    PhotosOfVehicleXPath(" \t");
    FAIL() << "no error";
  } catch (const XMLException& error) {
    EXPECT_STREQ(
        error.what(),
        "Identifiant vide dans la requête XPath \"/document/LiensImagesS/LiensImages[idNVO=]\"");
  }
}

TEST(IdentifierQueryTest, FindsRecordsOfTheLoadedSamples) {
  XMLCursorPtr paru_vendu = LoadSample("ParuVendu");
  XMLCursorPtr vehicle = paru_vendu->Select(VehicleByKeyXPath(kVehicleKeyIdNVO, "102"));
  ASSERT_EQ(vehicle->Count(), 1);
  EXPECT_EQ(vehicle->GetValue("SousRubrique"), "Citroën");
  // Compared as numbers.
  EXPECT_EQ(CountOf(*paru_vendu, VehicleByKeyXPath(kVehicleKeyIdNVO, "0102")), 1);
  EXPECT_EQ(CountOf(*paru_vendu, VehicleByKeyXPath(kVehicleKeyIdNVO, "999")), 0);
  EXPECT_EQ(CountOf(*paru_vendu, PhotosOfVehicleXPath("101")), 2);

  XMLCursorPtr sit_auto_pro = LoadSample("SitAutoPro");
  vehicle = sit_auto_pro->Select(VehicleByKeyXPath(kVehicleKeyREFERENCE, "302"));
  ASSERT_EQ(vehicle->Count(), 1);
  EXPECT_EQ(vehicle->GetValue("CATEGORIE"), "Société");

  XMLCursorPtr top_annonces = LoadSample("TopAnnonces");
  vehicle = top_annonces->Select(VehicleByKeyXPath(kVehicleKeyReference, "401"));
  ASSERT_EQ(vehicle->Count(), 1);
  EXPECT_EQ(vehicle->GetValue("marque"), "Volkswagen");
}

TEST(IdentifierQueryTest, NonNumericIdentifierMatchesNoRecordOfALoadedSample) {
  XMLCursorPtr document = LoadSample("ParuVendu");
  // Spliced as raw text, this identifier would select every vehicle.
  ASSERT_EQ(CountOf(*document, "/document/DataVOS/DataVO[idNVO=1 or 1=1]"), 3);
  for (const char* id :
       {"1 or 1=1", "101 or true()", "101]|/document/DataVOS/DataVO[1", "idNVO", "'101'", "abc"}) {
    SCOPED_TRACE(id);
    XMLCursorPtr vehicles = document->Select(VehicleByKeyXPath(kVehicleKeyIdNVO, id));
    EXPECT_TRUE(vehicles->Eof());
    EXPECT_EQ(vehicles->Count(), 0);
    EXPECT_EQ(CountOf(*document, PhotosOfVehicleXPath(id)), 0);
  }
}

TEST(XPathStringLiteralTest, QuotesEveryText) {
  EXPECT_EQ(XPathStringLiteral("CLIM"), "'CLIM'");
  EXPECT_EQ(XPathStringLiteral(""), "''");
  EXPECT_EQ(XPathStringLiteral("PACK'CONFORT"), "\"PACK'CONFORT\"");
  EXPECT_EQ(XPathStringLiteral("A\"B"), "'A\"B'");
  EXPECT_EQ(XPathStringLiteral("L'\"X\""), "concat('L', \"'\", '\"X\"')");
  EXPECT_EQ(XPathStringLiteral("''\"'"), "concat(\"''\", '\"', \"'\")");
}

TEST(XPathStringLiteralTest, LiteralsCompareEqualToTheirText) {
  XMLCursorPtr document = CreateXMLCursor();
  document->LoadXML(
      "<document><LiensEquipementsS>"
      "<LiensEquipements><AbbrEquip>PACK'CONFORT</AbbrEquip><LibelleEquipement>Un"
      "</LibelleEquipement></LiensEquipements>"
      "<LiensEquipements><AbbrEquip>L'\"ÉTÉ\"</AbbrEquip><LibelleEquipement>Deux"
      "</LibelleEquipement></LiensEquipements>"
      "<LiensEquipements><AbbrEquip>''\"'</AbbrEquip><LibelleEquipement>Trois"
      "</LibelleEquipement></LiensEquipements>"
      "<LiensEquipements><AbbrEquip>CLIM</AbbrEquip><LibelleEquipement>Quatre"
      "</LibelleEquipement></LiensEquipements>"
      "</LiensEquipementsS></document>");
  const std::pair<const char*, const char*> cases[] = {
      {"PACK'CONFORT", "Un"}, {"L'\"ÉTÉ\"", "Deux"}, {"''\"'", "Trois"}, {"CLIM", "Quatre"}};
  for (const auto& [code, label] : cases) {
    XMLCursorPtr found = document->Select(EquipmentLabelXPath(code));
    ASSERT_EQ(found->Count(), 1) << code;
    EXPECT_EQ(found->GetValue(kEquipmentLabelField), label);
  }
  EXPECT_EQ(CountOf(*document, EquipmentLabelXPath("CLIM' or '1'='1")), 0);
}

TEST(EquipmentLabelXPathTest, BuildsTheLabelQuery) {
  EXPECT_EQ(EquipmentLabelXPath("CLIM"),
            "/document/LiensEquipementsS/LiensEquipements[AbbrEquip='CLIM']");
  EXPECT_EQ(EquipmentLabelXPath("PACK'CONFORT"),
            "/document/LiensEquipementsS/LiensEquipements[AbbrEquip=\"PACK'CONFORT\"]");
}

TEST(PhotoSlotTest, FillsTheFirstEmptySlotInSlotOrder) {
  XMLCursorPtr document = LoadSample("ParuVendu");
  XMLCursorPtr vehicle = document->Select(VehicleByKeyXPath(kVehicleKeyIdNVO, "101"));
  EXPECT_STREQ(FillFirstEmptyPhotoSlot(*vehicle, kPhotoSlotsParuVendu, "http://127.0.0.1/a.jpg"),
               "NomPhoto1");
  EXPECT_STREQ(FillFirstEmptyPhotoSlot(*vehicle, kPhotoSlotsParuVendu, "http://127.0.0.1/b.jpg"),
               "NomPhoto2");
  EXPECT_EQ(vehicle->GetValue("NomPhoto1"), "http://127.0.0.1/a.jpg");
  EXPECT_EQ(vehicle->GetValue("NomPhoto2"), "http://127.0.0.1/b.jpg");
  EXPECT_EQ(vehicle->GetValue("NomPhoto3"), "");
}

TEST(PhotoSlotTest, AbsentSlotsAreAppendedInFillingOrder) {
  XMLCursorPtr document = LoadSample("ParuVendu");
  XMLCursorPtr vehicle = document->Select(VehicleByKeyXPath(kVehicleKeyIdNVO, "102"));
  FillFirstEmptyPhotoSlot(*vehicle, kPhotoSlotsParuVendu, "u1");
  FillFirstEmptyPhotoSlot(*vehicle, kPhotoSlotsParuVendu, "u2");
  EXPECT_THAT(vehicle->XML(),
              HasSubstr("</InfoComplement><NomPhoto1>u1</NomPhoto1><NomPhoto2>u2</NomPhoto2>"
                        "</DataVO>"));
  // A slot already filled by the back office is kept.
  vehicle = document->Select(VehicleByKeyXPath(kVehicleKeyIdNVO, "103"));
  size_t known = 0;
  EXPECT_STREQ(FillFirstEmptyPhotoSlot(*vehicle, kPhotoSlotsParuVendu, "u3", &known), "NomPhoto2");
  EXPECT_EQ(known, 2u);
  EXPECT_EQ(vehicle->GetValue("NomPhoto1"), "http://127.0.0.1/pixtrove/103_ancienne.jpg");
}

TEST(PhotoSlotTest, NothingIsWrittenWhenAllSixAreFilledOrNoRecordMatched) {
  XMLCursorPtr document = LoadSample("LeBonCoin");
  XMLCursorPtr vehicle = document->Select(VehicleByKeyXPath(kVehicleKeyIdNVO, "501"));
  size_t known = 0;
  for (int i = 1; i <= 6; ++i)
    EXPECT_STREQ(
        FillFirstEmptyPhotoSlot(*vehicle, kPhotoSlotsLeBonCoin, "p" + std::to_string(i), &known),
        kPhotoSlotsLeBonCoin[i - 1]);
  EXPECT_EQ(known, 6u);
  const std::string before = vehicle->XML();
  EXPECT_EQ(FillFirstEmptyPhotoSlot(*vehicle, kPhotoSlotsLeBonCoin, "p7"), nullptr);
  EXPECT_EQ(vehicle->XML(), before);
  EXPECT_EQ(vehicle->GetValue("photo6"), "p6");

  XMLCursorPtr none = document->Select(VehicleByKeyXPath(kVehicleKeyIdNVO, "1 or 1=1"));
  EXPECT_EQ(FillFirstEmptyPhotoSlot(*none, kPhotoSlotsLeBonCoin, "p"), nullptr);
}

TEST(PortalFieldsTest, EquipmentFieldsReadTheSampleLists) {
  XMLCursorPtr as24 = LoadSample("AutoScout24")->Select(kVehiclesXPath);
  EXPECT_EQ(as24->GetValue(kEquipmentFieldsAutoScout24.exterior), ";JantAll;PMat;Radrecul;");
  XMLCursorPtr sap = LoadSample("SitAutoPro")->Select(kVehiclesXPath);
  EXPECT_EQ(sap->GetValue(kEquipmentFieldsSitAutoPro.extra), ";VNF;");
  XMLCursorPtr top = LoadSample("TopAnnonces")->Select(kVehiclesXPath);
  EXPECT_EQ(top->GetValue(kEquipmentFields.safety), ";ABS;ESP;AirbagCond;Alarme;");
  EXPECT_EQ(top->GetValue(kPhotoSlotsUpperCase[5]), "");
}

}  // namespace
}  // namespace kalvex
