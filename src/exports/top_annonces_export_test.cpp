#include "exports/top_annonces_export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <utility>
#include <vector>

#include "export_test_fixture.h"
#include "exports/text_rewrite.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre, ::testing::HasSubstr, ::testing::Not, ::testing::StartsWith;
using testing::PathExists, testing::ReadFile;

using Fields = std::vector<std::pair<std::string, std::string>>;

// A vehicle record in the document's field order, with the fields named in `changed`
// holding other values.
std::string Vehicle(const std::string& reference, const Fields& changed = {}) {
  std::string xml =
      "<DataVO><reference>" + reference +
      "</reference><marque>Volkswagen</marque><modele>Golf</modele><Carrosserie>Berline"
      "</Carrosserie><prix>14 900 €</prix><MODELEVERSION>Golf VII 1.6 TDI</MODELEVERSION>"
      "<EqutInterieur>;Clim;</EqutInterieur><EqutExterieur></EqutExterieur><EqutSecurite>"
      "</EqutSecurite><InfoComplement></InfoComplement><Garantie></Garantie><BOITE_DE_VITESSE>"
      "Manuelle</BOITE_DE_VITESSE><NB_PORTES>5 portes</NB_PORTES><Kilometrage>55000"
      "</Kilometrage><Couleur>Bleu nuit</Couleur><Energie>Diesel</Energie><YearMEC>2018"
      "</YearMEC><FirstMEC>04/2018</FirstMEC><accroche_url></accroche_url><texte></texte>"
      "<complements></complements><NOMPHOTO1></NOMPHOTO1><NOMPHOTO2></NOMPHOTO2><NOMPHOTO3>"
      "</NOMPHOTO3><NOMPHOTO4></NOMPHOTO4><NOMPHOTO5></NOMPHOTO5><NOMPHOTO6></NOMPHOTO6></DataVO>";
  for (const auto& [name, value] : changed)
    xml =
        std::regex_replace(xml, std::regex("<" + name + ">[^<]*<"), "<" + name + ">" + value + "<");
  return xml;
}

// The vehicle text without the element `field`.
std::string Without(std::string vehicle, const std::string& field) {
  const size_t start = vehicle.find("<" + field + ">");
  const size_t end = vehicle.find("</" + field + ">") + field.size() + 3;
  return vehicle.erase(start, end - start);
}

std::string Link(const std::string& reference, const std::string& image) {
  return "<LiensImages><idNVO>" + reference + "</idNVO><NomImage>" + image +
         "</NomImage></LiensImages>";
}

std::string Document(const std::string& vehicles, const std::string& links = "") {
  std::string labels;
  for (const auto& [code, label] : Fields{{"CLIM", "Climatisation"},
                                          {"CLIMAUTO", "Climatisation automatique"},
                                          {"JANTALL", "Jantes alliage"},
                                          {"RADRECUL", "Radar de recul"},
                                          {"ABS", "ABS"},
                                          {"AIRBAGLAT", "Airbags latéraux"},
                                          {"VNF", "Véhicule non fumeur"},
                                          {"GAR", "Sous garantie"}})
    labels += "<LiensEquipements><AbbrEquip>" + code + "</AbbrEquip><LibelleEquipement>" + label +
              "</LibelleEquipement></LiensEquipements>";
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><document>"
         "<DataVOS EOF=\"False\" RecordName=\"DataVO\">" +
         vehicles + "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">" + links +
         "</LiensImagesS><LiensEquipementsS EOF=\"False\" RecordName=\"LiensEquipements\">" +
         labels + "</LiensEquipementsS><Aliases><Alias>VO</Alias></Aliases></document>";
}

constexpr char kIni[] =
    "[Options]\nPathImages=/nowhere\nURLImages=http://127.0.0.1/pixtrove\n"
    "[TOPANNONCES]\nServeurFTP=127.0.0.1:9\nUser=top\nPassWord=pw\n";

class TopAnnoncesExportTest : public ::testing::Test, public testing::ExportFixture {
 protected:
  TopAnnoncesExportTest() { UseIni(kIni); }

  void Run(const std::string& document) {
    WriteDocument("TopAnnonces", document);
    driver_.RunExport("TopAnnonces");
  }
  std::string ResultFile() const { return WorkingFolder() + "/XXXXXX20261209140507.xml"; }
  std::string ArchiveFile() const { return WorkingFolder() + "/XXXXXX20261209140507.zip"; }
  std::string DatedFile() const { return WorkingFolder() + "/TopAnnonces-20261209.xml"; }

  XMLCursorPtr Result() const { return testing::ParsedFile(ResultFile()); }
  // The `texte` and the complements ("type" -> value) of a vehicle's ad.
  std::map<std::string, std::string> Ad(XMLCursorPtr ad) const {
    std::map<std::string, std::string> values = {{"texte", ad->GetValue("texte")}};
    for (XMLCursorPtr complement = ad->Select("complements/complement"); !complement->Eof();
         complement->Next())
      values[complement->GetValue("@type")] = complement->GetValue(".");
    return values;
  }
  // Names in the working folder, sorted.
  std::vector<std::string> WorkingFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(WorkingFolder()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(TopAnnoncesExportTest, RunWritesTheAdsSavesTwiceArchivesAndLeavesAnEmptyLog) {
  photos_.sent = [](const std::string& name) { return name == "401_1.jpg"; };
  const std::regex body_type("Carrosserie>");
  const std::string lower =
      std::regex_replace(Vehicle("402", {{"Carrosserie", "Break"}}), body_type, "carrosserie>");
  const std::string other =
      std::regex_replace(Vehicle("403", {{"Carrosserie", "Coupé"}}), body_type, "CARROSSERIE>");
  Run(Document(
      Vehicle("401", {{"EqutExterieur", ";JantAll;"},
                      {"EqutSecurite", ";ABS;"},
                      {"InfoComplement", ";VNF;"},
                      {"Garantie", "12 mois"}}) +
          lower + other,
      Link("401", "401_1") + Link("402", "402_1") + Link("401", "401_2") + Link("999", "sold")));

  EXPECT_TRUE(window_.AutoClose());
  EXPECT_THAT(photos_.synced, ElementsAre("401_1.jpg", "402_1.jpg", "401_2.jpg", "sold.jpg"));
  EXPECT_EQ(state_.vehicle_counter, 3);
  EXPECT_EQ(state_.photo_counter, 4);
  EXPECT_EQ(window_.Text(WindowField::kParamServeur), "127.0.0.1:9");

  // The result file and the dated file hold the same ISO-8859-15 bytes.
  const std::string saved = ReadFile(ResultFile());
  EXPECT_EQ(ReadFile(DatedFile()), saved);
  EXPECT_THAT(saved, StartsWith(std::string(kIso885915Declaration) + "\n<listepa><annonce>"));
  EXPECT_THAT(saved, HasSubstr("<prix>14 900 \xA4</prix>"));
  EXPECT_TRUE(PathExists(ArchiveFile()));

  const std::string xml = Result()->XML();
  EXPECT_EQ(Result()->Select("/listepa/annonce")->Count(), 3);
  EXPECT_THAT(xml, HasSubstr("<annonce><reference>401</reference><marque>Volkswagen</marque>"
                             "<modele>Golf</modele><carrosserie>Berline</carrosserie>"
                             "<prix>14 900 €</prix><Garantie>12 mois</Garantie>"));
  EXPECT_THAT(xml, HasSubstr("<accroche_url>Volkswagen Golf VII 1.6 TDI</accroche_url>"
                             "<texte>- Equipements Intérieurs : Climatisation - Equipements "
                             "Extérieurs : Jantes alliage - Equipements Sécurité : ABS - "
                             "Véhicule non fumeur, Garantie : 12 mois</texte><complements>"
                             "<complement type=\"VS\">VII 1.6 TDI</complement>"
                             "<complement type=\"S\">Climatisation, Jantes alliage, ABS"
                             "</complement><complement type=\"O1\">true</complement>"));
  EXPECT_THAT(xml, HasSubstr("<complement type=\"IM\">04/2018</complement></complements>"
                             "<liste_photos><photo>http://127.0.0.1/pixtrove/401_1.jpg</photo>"
                             "<photo>http://127.0.0.1/pixtrove/401_2.jpg</photo></liste_photos>"
                             "</annonce>"));
  // Only the tag written "Carrosserie" changes; the one without photos keeps an empty list.
  EXPECT_THAT(xml, HasSubstr("<carrosserie>Break</carrosserie>"));
  EXPECT_THAT(xml, HasSubstr("<CARROSSERIE>Coupé</CARROSSERIE>"));
  EXPECT_THAT(xml, HasSubstr("<liste_photos></liste_photos></annonce></listepa>"));
  for (const char* gone : {"MODELEVERSION", "Equt", "InfoComplement", "NOMPHOTO", "DataVO",
                           "document", "Liens", "Alias", "sold"})
    EXPECT_THAT(xml, Not(HasSubstr(gone))) << gone;

  // Nothing is sent to the portal; the log is restarted after the archive.
  EXPECT_EQ(ReadFile(LogFile("TOPANNONCES")), "");
  // The frame's lines up to the result text, then the archive and no upload line.
  const std::vector<std::string> memo = MemoTexts();
  ASSERT_EQ(memo.size(), 12u);
  EXPECT_THAT(memo[7],
              StartsWith("Result : " + std::string(kIso885915Declaration) + "\\n<listepa>"));
  EXPECT_THAT(std::vector<std::string>(memo.begin() + 8, memo.end()),
              ElementsAre("Après Remplacements", "Avant Enregistrement",
                          "Fichier " + ArchiveFile() + " créé", "-> "));
}

struct AdCase {
  const char* name;
  Fields fields;    // of the vehicle
  Fields expected;  // "texte" and complements by type
};

class TopAnnoncesAdTest : public TopAnnoncesExportTest,
                          public ::testing::WithParamInterface<AdCase> {};

TEST_P(TopAnnoncesAdTest, AdTextAndComplements) {
  Run(Document(Vehicle("7", GetParam().fields)));
  ASSERT_TRUE(window_.AutoClose());
  EXPECT_EQ(ReadFile(LogFile("TOPANNONCES")), "");
  XMLCursorPtr annonce = Result()->Select("/listepa/annonce");
  ASSERT_EQ(annonce->Count(), 1);
  EXPECT_EQ(annonce->Select("complements/complement")->Count(), 50);
  const std::map<std::string, std::string> ad = Ad(annonce);
  for (const auto& [type, value] : GetParam().expected) EXPECT_EQ(ad.at(type), value) << type;
  // Whatever the vehicle holds.
  EXPECT_EQ(ad.at("E2"), "true");
  for (const char* empty :
       {"E1", "B2", "B3", "S4", "S5", "S6", "S7", "S10", "U2", "U3", "U4", "U6"})
    EXPECT_EQ(ad.at(empty), "") << empty;
}

INSTANTIATE_TEST_SUITE_P(
    Vehicles, TopAnnoncesAdTest,
    ::testing::Values(
        AdCase{"NothingKnown",
               {{"EqutInterieur", ""}},
               {{"texte", ""},
                {"S", ""},
                {"O1", ""},
                {"O4", "false"},
                {"B1", ""},
                {"G1", "false"},
                {"G2", "false"},
                {"VS", "VII 1.6 TDI"},
                {"NP", "5"},
                {"K", "55000"},
                {"CO", "Bleu nuit"},
                {"E", "DIESEL"},
                {"A", "2018"},
                {"IM", "04/2018"}}},
        AdCase{"EmptyInteriorFullExterior",
               {{"EqutInterieur", ""}, {"EqutExterieur", ";JantAll;Radrecul;"}},
               {{"texte", " - Equipements Extérieurs : Jantes alliage, Radar de recul"},
                {"S", "Jantes alliage, Radar de recul"},
                {"O1", ""},
                {"B1", "true"},
                {"U7", "true"},
                {"U9", "false"}}},
        AdCase{"FallbackCodes",
               {{"EqutInterieur", ";ClimAuto;"},
                {"EqutExterieur", ";Radavant;"},
                {"EqutSecurite", ";AirbagLat;"}},
               {{"O1", "true"}, {"B1", "true"}, {"O3", "true"}, {"O7", "false"}}},
        AdCase{"NoClimateCode", {{"EqutInterieur", ";GPS;"}}, {{"O1", "false"}, {"B8", "true"}}},
        AdCase{"TwelveMonthsInCapitals",
               {{"EqutSecurite", ";AirbagLat;ABS;"}, {"Garantie", "12 MOIS"}},
               {{"texte",
                 "- Equipements Intérieurs : Climatisation - Equipements Sécurité : Airbags "
                 "latéraux, ABS - Garantie : 12 MOIS"},
                {"S", "Climatisation, Airbags latéraux, ABS"},
                {"G1", "false"},
                {"G2", "true"}}},
        AdCase{"WarrantyItemAlreadyListed",
               {{"InfoComplement", ";Gar;VNF;"}, {"Garantie", "6 mois"}},
               {{"texte",
                 "- Equipements Intérieurs : Climatisation - Garantie : 6 mois, Véhicule non "
                 "fumeur"},
                {"G1", "true"},
                {"G2", "false"}}},
        AdCase{"ExtraListWithoutLastSeparator",
               {{"InfoComplement", ";VNF"}, {"Garantie", "6"}},
               {{"texte",
                 "- Equipements Intérieurs : Climatisation - Véhicule non fumeur, Garantie : 6"},
                {"G1", "true"}}},
        AdCase{"WarrantyInYears",
               {{"Garantie", "1 an"}},
               {{"texte", "- Equipements Intérieurs : Climatisation - Garantie : 1 an"},
                {"G1", "false"},
                {"G2", "false"}}},
        AdCase{"WarrantyWithWords", {{"Garantie", "Garantie 6 mois"}}, {{"G1", "false"}}},
        AdCase{"WarrantyNotHexadecimal", {{"Garantie", "x0C mois"}}, {{"G2", "false"}}},
        AdCase{"AutomaticGearbox", {{"BOITE_DE_VITESSE", "automatique"}}, {{"O4", "true"}}},
        AdCase{"SequentialGearbox",
               {{"BOITE_DE_VITESSE", "automatique séquentielle"}},
               {{"O4", "false"}}},
        AdCase{"AccentedEnergy", {{"Energie", "Electricité"}}, {{"E", "ELECTRICITE"}}}),
    [](const ::testing::TestParamInfo<AdCase>& info) { return info.param.name; });

// Documents the run refuses, before any output, with the text of the error.
struct RefusalCase {
  const char* name;
  std::string vehicle;     // the second vehicle, 402
  const char* what;        // "Export refusé, <document> : " + what + "."
  const char* error = "";  // or this error of the cursor
};

class TopAnnoncesRefusalTest : public TopAnnoncesExportTest,
                               public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(TopAnnoncesRefusalTest, EndsTheRunBeforeAnyOutput) {
  const RefusalCase& refusal = GetParam();
  try {
    Run(Document(Vehicle("401") + refusal.vehicle, Link("402", "402_1")));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), refusal.what == nullptr
                            ? refusal.error
                            : "Export refusé, " + WorkingFolder() +
                                  "/ExpDatasTopAnnonces.xml : " + refusal.what + ".");
  }
  EXPECT_FALSE(window_.AutoClose());
  EXPECT_THAT(WorkingFiles(), ElementsAre("ExpDatasTopAnnonces.xml"));
}

// The agency record set beside the vehicles: refused at the load, before any photo.
TEST_F(TopAnnoncesExportTest, OtherRecordSetUnderTheRootIsRefusedBeforeAnyOutput) {
  std::string document = Document(Vehicle("401"), Link("401", "401_1"));
  document.insert(document.find("<DataVOS"),
                  "<AgenceS><Agence><Nom>Garage</Nom></Agence></AgenceS>");
  try {
    Run(document);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Export refusé, " + WorkingFolder() +
                  "/ExpDatasTopAnnonces.xml : l'élément AgenceS se trouve sous document, qui ne "
                  "peut contenir que DataVOS, LiensImagesS, LiensEquipementsS et Aliases.");
  }
  EXPECT_THAT(photos_.synced, ::testing::IsEmpty());
  EXPECT_THAT(WorkingFiles(), ElementsAre("ExpDatasTopAnnonces.xml"));
}

std::string Swapped() {
  std::string vehicle = Without(Vehicle("402"), "MODELEVERSION");
  return vehicle.insert(vehicle.find("<Garantie>"), "<MODELEVERSION>Clio</MODELEVERSION>");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, TopAnnoncesRefusalTest,
    ::testing::Values(
        RefusalCase{"NoComplements", Without(Vehicle("402"), "complements"), nullptr,
                    "TXMLCursor.AppendChild - EOF"},
        RefusalCase{"NoVersion", Without(Vehicle("402"), "MODELEVERSION"),
                    "le véhicule reference 402 n'a pas d'élément MODELEVERSION"},
        RefusalCase{"NoExtraList", Without(Vehicle("402"), "InfoComplement"),
                    "le véhicule reference 402 n'a pas d'élément InfoComplement"},
        RefusalCase{"SpanInTheOtherOrder", Swapped(),
                    "le véhicule reference 402 a ses éléments MODELEVERSION et InfoComplement "
                    "dans le désordre"},
        RefusalCase{"NoThirdPhotoSlot", Without(Vehicle("402"), "NOMPHOTO3"),
                    "le véhicule reference 402 n'a pas d'élément NOMPHOTO3"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kalvex
