#include "exports/auto_scout24_export.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "export_test_fixture.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "zip/zip_builder.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using testing::PathExists;
using testing::ReadFile;
using testing::WriteFile;

constexpr char kIni[] =
    "[Options]\nPathImages=/nowhere\n"
    "[AUTOSCOUT24]\nServeurFTP=127.0.0.1:9\nUser=as24\nPassWord=pw\nidClient=4455667788\n";

std::string Document(const std::string& vehicles, const std::string& links = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document>"
         "<DataVOS EOF=\"False\" RecordName=\"DataVO\">" +
         vehicles + "</DataVOS><LiensImagesS EOF=\"False\" RecordName=\"LiensImages\">" + links +
         "</LiensImagesS></document>";
}

std::string Link(const std::string& id, const std::string& image) {
  return "<LiensImages><idNVO>" + id + "</idNVO><NomImage>" + image + "</NomImage></LiensImages>";
}

class AutoScout24ExportTest : public ::testing::Test, public testing::ExportFixture {
 protected:
  std::string Staging() const { return dir_.path() + "/TEMP/AS24"; }
  std::string VehicleFile(const std::string& id = "4455667788") const {
    return Staging() + "/" + id + ".csv";
  }
  std::string Archive(const std::string& id = "4455667788") const {
    return WorkingFolder() + "/" + id + ".zip";
  }
  void Run(const std::string& document, const std::string& ini = kIni) {
    UseIni(ini);
    WriteDocument("AutoScout24", document);
    driver_.RunExport("AutoScout24");
  }
  // The lines of the vehicle file as UTF-8, without their CR LF; every line must end
  // with CR LF.
  std::vector<std::string> Lines(const std::string& file) const {
    const std::string text = ToUtf8(ReadFile(file), "windows-1252");
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find("\r\n", start);
      EXPECT_NE(end, std::string::npos) << "a line without CR LF";
      if (end == std::string::npos) break;
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }
  // The 92 fields of a line (each was followed by ";").
  static std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    EXPECT_EQ(line.back(), ';') << line;
    for (size_t start = 0; start < line.size();) {
      const size_t end = line.find(';', start);
      fields.push_back(line.substr(start, end - start));
      start = end + 1;
    }
    EXPECT_EQ(fields.size(), 92u) << line;
    return fields;
  }
  std::vector<std::string> ArchiveNames(const std::string& archive) {
    TZip zip(front_end_);
    zip.SetZipFileName(archive);
    std::vector<std::string> names;
    for (const TFileInfo& entry : zip.Contents()) names.push_back(entry.file_name);
    return names;
  }
};

TEST_F(AutoScout24ExportTest, ARunWritesOneLinePerVehicleStagesPhotosAndArchivesThem) {
  UseIni(kIni);
  WriteFile(WorkingFolder() + "/ExpDatasAutoScout24.xml",
            ReadFile(testing::SourceDir() + "/tests/data/ExpDatasAutoScout24.xml"));
  WriteFile(Staging() + "/old/left_over.jpg", "from the last run");
  driver_.RunExport("AUTOSCOUT24");

  EXPECT_TRUE(window_.AutoClose());
  EXPECT_THAT(photos_.staged, ElementsAre("201_1 201_1.jpg", "201_2 201_2.jpg", "201_3 201_3.jpg"));
  EXPECT_EQ(state_.vehicle_counter, 2);
  EXPECT_EQ(window_.Text(WindowField::kParamUser), "as24");
  // Fields by number: 1-10, 11 to 20, 21-31, 32-40 interior, 41-49 safety, 50-58,
  // 59-67, 68-81, 82-92.
  const std::string peugeot =
      "4455667788;201;201_1.jpg;Peugeot;308;1.6 BlueHDi 120 Allure;Voiture d’occasion;"
      "Manuelle;Berline;Gris métallisé;"
      "1;;Diesel;03.2019;48500;12990;5;5;;6;"
      ";;;;;;;;12;;;"
      "1;0;0;1;0;0;0;0;1;"
      "1;1;1;0;0;0;0;0;0;"
      ";0;1;0;1;1;0;0;0;"
      ";;;0;;0;1;1;0;"
      ";;;;;1;;;;;;;;;"
      "VF3LCYHZPKS123456;;;;0;;;;6;FG-123-HJ;;";
  // No photo, an empty exterior list: its flags are empty, the constants stay.
  const std::string citroen =
      "4455667788;202;;Citroën;C3 Picasso;1.6 HDi Exclusive;Voiture d’occasion;"
      "Automatique;Monospace;Rouge Lucifer;"
      ";;Diesel;11.2016;102300;8490;5;5;;5;"
      ";;;;;;;;6;;;"
      "0;1;0;0;0;0;0;0;0;"
      "1;0;0;0;0;0;0;0;0;"
      ";;;;0;;0;0;0;"
      ";;;0;;;0;0;0;"
      ";;;;;1;;;;;;;;;"
      "VF7SHRHK8GT654321;;;;;;;;5;DX-456-KL;;";
  EXPECT_THAT(Lines(VehicleFile()), ElementsAre(peugeot, citroen));
  EXPECT_EQ(ReadFile(VehicleFile()).find('\x92'), peugeot.find("’"));

  // The staging folder was emptied; the archive holds what it holds now.
  EXPECT_FALSE(PathExists(Staging() + "/old"));
  EXPECT_THAT(ArchiveNames(Archive()), ElementsAre("4455667788.csv"));
  // The document, unchanged, under the time of the run.
  XMLCursorPtr copy = CreateXMLCursor();
  copy->Load(WorkingFolder() + "/202612091405.xml");
  XMLCursorPtr input = CreateXMLCursor();
  input->Load(WorkingFolder() + "/ExpDatasAutoScout24.xml");
  EXPECT_EQ(copy->XML(), input->XML());

  const std::string archive = Archive();
  const std::string sent =
      "Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé transmis sur site FTP : "
      "4455667788.zip - 2 VO";
  EXPECT_THAT(LogTexts(ReadFile(LogFile("AUTOSCOUT24"))), ElementsAre(sent));
  EXPECT_THAT(MemoTexts(),
              ElementsAre("-> ", "Zip File : " + archive, "Fichier " + archive + " créé",
                          "Début Transfert : " + archive, "-> ", sent));
  const std::string staging_folder = dir_.path() + "\\Temp\\AS24";
  EXPECT_THAT(photos_.staging_folders, ElementsAre(staging_folder, staging_folder, staging_folder));
}

// One vehicle's fields, table-driven: the elements of the record and the fields
// expected by number.
struct LineCase {
  const char* name;
  std::string record;
  std::map<int, std::string> fields;
};

class VehicleLineTest : public AutoScout24ExportTest,
                        public ::testing::WithParamInterface<LineCase> {};

TEST_P(VehicleLineTest, FieldsOfTheLine) {
  Run(Document("<DataVO><idNVO>7</idNVO>" + GetParam().record + "</DataVO>"));
  const std::vector<std::string> lines = Lines(VehicleFile());
  ASSERT_EQ(lines.size(), 1u);
  const std::vector<std::string> fields = Fields(lines[0]);
  ASSERT_EQ(fields.size(), 92u);
  for (const auto& [number, text] : GetParam().fields)
    EXPECT_EQ(fields[static_cast<size_t>(number - 1)], text) << "field " << number;
}

INSTANTIATE_TEST_SUITE_P(
    AutoScout24, VehicleLineTest,
    ::testing::Values(
        LineCase{
            "MonthBelowTen", "<MoisMEC>3</MoisMEC><AnneeMEC>2004</AnneeMEC>", {{14, "03.2004"}}},
        LineCase{
            "MonthAboveNine", "<MoisMEC>11</MoisMEC><AnneeMEC>2004</AnneeMEC>", {{14, "11.2004"}}},
        LineCase{"NoRegistrationDate", "", {{14, "0."}}},
        LineCase{"WarrantyInMonths",
                 "<Garantie>12 mois</Garantie><NombreDePortes> 5 portes</NombreDePortes>",
                 {{29, "12"}, {73, "1"}, {17, "5"}}},
        LineCase{"NoWarranty",
                 "<Garantie></Garantie><NombreDePortes>portes</NombreDePortes>",
                 {{29, "0"}, {73, "0"}, {17, "0"}}},
        LineCase{"LeadingZerosAndLongNumbers",
                 "<Garantie>0024</Garantie><NombreDePortes>123456789012345678901p</NombreDePortes>",
                 {{29, "24"}, {17, "123456789012345678901"}}},
        LineCase{"EmptyExteriorListLeavesItsFlagsEmpty",
                 "<InfoEquiExterieur></InfoEquiExterieur><InfoEquiInterieur>;GPS;</"
                 "InfoEquiInterieur>",
                 {{11, ""},
                  {51, ""},
                  {52, ""},
                  {53, ""},
                  {55, ""},
                  {64, ""},
                  {86, ""},
                  {7, "Voiture d’occasion"},
                  {62, "0"},
                  {36, "1"},
                  {32, "0"},
                  {41, ""}}},
        LineCase{"FieldEightySixAsksForAnEmptyCode",
                 "<InfoEquiExterieur>;AttRem;;Tuning;</InfoEquiExterieur>"
                 "<InfoEquiSecurite>;esp;</InfoEquiSecurite>",
                 {{86, "1"}, {64, "1"}, {51, "1"}, {11, "0"}, {52, "0"}, {65, "0"}}},
        LineCase{"ModelNameLeavesTheVersion",
                 "<IModele>Clio</IModele><IVersion>CLIO V 1.0 TCe Clio</IVersion>",
                 {{5, "Clio"}, {6, "V 1.0 TCe Clio"}}},
        LineCase{"NoValueShiftsAnother",
                 "<IMarque>A;B</IMarque><Couleur>Bleu\tnuit&#13;&#10;nacré</Couleur>"
                 "<Immatriculation>;;</Immatriculation>",
                 {{4, "A,B"}, {10, "Bleu nuit  nacré"}, {91, ",,"}, {92, ""}}},
        LineCase{"CharactersWindows1252LacksTakeTheirNearestForm",
                 "<IMarque>Škoda</IMarque><IModele>Łódź</IModele><Couleur>Vert ő 🚗</Couleur>"
                 "<Energie>e\xCC\x81lectrique</Energie>",
                 {{4, "Škoda"}, {5, "Lódz"}, {10, "Vert o ?"}, {13, "électrique"}}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(AutoScout24ExportTest, PhotosAreStagedPerVehicleInDocumentOrder) {
  Run(
      Document("<DataVO><idNVO>7</idNVO></DataVO><DataVO><idNVO>8</idNVO></DataVO>"
               "<DataVO><idNVO>x9</idNVO></DataVO><DataVO><idNVO>10</idNVO></DataVO>",
               Link("8", "b") + Link("007", "a1") + Link("99", "sold") + Link("7", "a2") +
                   Link("x9", "never") + Link("7.0", "a3") +
                   "<LiensImages><idNVO>8</idNVO><idNVO>10</idNVO><NomImage>shared</NomImage>"
                   "</LiensImages>"));
  EXPECT_THAT(photos_.staged, ElementsAre("7_1 a1.jpg", "7_2 a2.jpg", "7_3 a3.jpg", "8_1 b.jpg",
                                          "8_2 shared.jpg", "10_1 shared.jpg"));
  EXPECT_EQ(state_.photo_counter, 6);
  std::vector<std::string> third;
  for (const std::string& line : Lines(VehicleFile())) third.push_back(Fields(line)[2]);
  EXPECT_THAT(third, ElementsAre("7_1.jpg", "8_1.jpg", "", "10_1.jpg"));
}

TEST_F(AutoScout24ExportTest, ADocumentWithoutVehiclesGivesAnEmptyFileAlone) {
  Run(Document(""), std::string(kIni) + "PathTemp=\\Export\\AS24\n");
  const std::string staging = dir_.path() + "/Export/AS24";
  EXPECT_EQ(ReadFile(staging + "/4455667788.csv"), "");
  EXPECT_THAT(ArchiveNames(Archive()), ElementsAre("4455667788.csv"));
  EXPECT_THAT(LogTexts(ReadFile(LogFile("AUTOSCOUT24"))),
              ElementsAre("Transfert FTP : Erreur Connexion au serveur. Fichier VO actualisé "
                          "transmis sur site FTP : 4455667788.zip - 0 VO"));
  EXPECT_TRUE(window_.AutoClose());
}

TEST_F(AutoScout24ExportTest, TheDefaultCustomerIdNamesBothFiles) {
  Run(Document("<DataVO><idNVO>1</idNVO></DataVO>"), "[AUTOSCOUT24]\nServeurFTP=127.0.0.1:9\n");
  EXPECT_EQ(Fields(Lines(VehicleFile("0000000000"))[0])[0], "0000000000");
  EXPECT_THAT(ArchiveNames(Archive("0000000000")), ElementsAre("0000000000.csv"));
  EXPECT_TRUE(window_.AutoClose());
}

TEST_F(AutoScout24ExportTest, AVehicleWithoutIdentifierEndsTheRunBeforeTheFileIsWritten) {
  UseIni(kIni);
  WriteDocument("AutoScout24", Document("<DataVO><idNVO>1</idNVO></DataVO><DataVO><idNVO>"
                                        "</idNVO></DataVO>",
                                        Link("1", "a")));
  EXPECT_THROW(driver_.RunExport("AUTOSCOUT24"), EmptyIdentifierError);
  EXPECT_THAT(photos_.staged, ElementsAre("1_1 a.jpg"));
  EXPECT_FALSE(PathExists(VehicleFile()));
  EXPECT_FALSE(PathExists(Archive()));
  EXPECT_FALSE(window_.AutoClose());
}

TEST_F(AutoScout24ExportTest, AStagingFolderThatIsAFileEndsTheRunWithoutArchive) {
  // A file stands where the staging folder should be.
  WriteFile(Staging(), "not a folder");
  UseIni(kIni);
  WriteDocument("AutoScout24", Document("<DataVO><idNVO>1</idNVO></DataVO>"));
  try {
    driver_.RunExport("AUTOSCOUT24");
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Erreur d'entrée/sortie 20 (Ce n'est pas un dossier) : " + Staging());
  }
  EXPECT_EQ(ReadFile(Staging()), "not a folder");
  EXPECT_FALSE(PathExists(Archive()));
  EXPECT_FALSE(window_.AutoClose());
}

// The staging folder is emptied: through a link, however spelled, it would empty the
// folder the link points to. A link anywhere on its path ends the run first.
TEST_F(AutoScout24ExportTest, AStagingPathThroughALinkIsRefusedAndItsTargetKept) {
  const std::string outside = dir_.path() + "/outside";
  WriteFile(outside + "/a.jpg", "a");
  WriteFile(outside + "/AS24/b.jpg", "b");
  std::filesystem::create_directories(dir_.path() + "/TEMP");
  std::filesystem::create_directory_symlink(outside, dir_.path() + "/TEMP/lnk");
  for (const char* value :
       {"\\Temp\\lnk", "\\Temp\\lnk\\", "\\Temp\\lnk/", "\\Temp\\lnk\\.", "\\Temp\\lnk\\AS24"}) {
    UseIni(std::string(kIni) + "PathTemp=" + value + "\n");
    WriteDocument("AutoScout24", Document("<DataVO><idNVO>1</idNVO></DataVO>", Link("1", "p")));
    try {
      driver_.RunExport("AUTOSCOUT24");
      ADD_FAILURE() << value << ": no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("Dossier refusé dans Kalvex.ini, [AUTOSCOUT24] PathTemp=") + value +
                    " : le chemin passe par le lien symbolique " + dir_.path() +
                    "/TEMP/lnk (vers " + outside +
                    "), qui n'est jamais suivi ; ce dossier est vidé entièrement à chaque "
                    "export, il doit servir à cela seulement");
    }
    EXPECT_EQ(ReadFile(outside + "/a.jpg"), "a") << value;
    EXPECT_EQ(ReadFile(outside + "/AS24/b.jpg"), "b") << value;
    EXPECT_TRUE(photos_.staged.empty()) << value;
    EXPECT_FALSE(PathExists(Archive())) << value;
    EXPECT_FALSE(window_.AutoClose());
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside), {}), 2);
}

TEST_F(AutoScout24ExportTest, ACustomerIdThatCouldShiftFieldsOrLeaveTheFolderIsRefused) {
  WriteFile(Staging() + "/sentinel", "kept");
  for (const char* id : {"12;34", "..", "a..b", "..\\up", "a/b", "a\\b", "C:x", ".hidden"}) {
    UseIni(std::string("[AUTOSCOUT24]\nidClient=") + id + "\n");
    WriteDocument("AutoScout24", Document("<DataVO><idNVO>1</idNVO></DataVO>"));
    try {
      driver_.RunExport("AUTOSCOUT24");
      ADD_FAILURE() << id << ": no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("Numéro client refusé dans Kalvex.ini, [AUTOSCOUT24] idClient=") + id +
                    " : il nomme le fichier des véhicules " +
                    ExportRun::Shown(dir_.path() + "\\Temp\\AS24\\" + id + ".csv") +
                    " et l'archive " +
                    ExportRun::Shown(dir_.path() + "\\TEMP\\Kalvex\\" + id + ".zip") +
                    " ; il ne peut être vide, commencer par « . » ni contenir « ; », « \\ », "
                    "« / », « : » ou « .. »");
    }
    EXPECT_EQ(ReadFile(Staging() + "/sentinel"), "kept") << id;
  }
  EXPECT_EQ(ReadFile(LogFile("AUTOSCOUT24")), "");
}

TEST_F(AutoScout24ExportTest, JoinsTheDispatchTableAndLeavesTheWorkingFolderAlone) {
  UseIni(kIni);
  // Without its document the run ends with the cursor's error: the working folder is
  // not this exporter's to make.
  EXPECT_THROW(driver_.RunExport("autoscout24"), XMLException);
  EXPECT_FALSE(PathExists(WorkingFolder()));
  EXPECT_FALSE(window_.AutoClose());
}

}  // namespace
}  // namespace kalvex
