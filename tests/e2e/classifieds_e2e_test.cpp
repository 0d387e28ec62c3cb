// The LeBonCoin and InfoPress exports end to end, once per portal: the built kalvex
// executable run as a scheduler runs it, with a temporary Windir, its Kalvex.ini and two
// loopback FTP servers playing the image server and the portal drop.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

using ::testing::ElementsAre;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using testing::LogLineTexts;
using testing::ReadFile;
using ::testing::StartsWith;

size_t Characters(const std::string& utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

struct PortalCase {
  const char* code;
  const char* name;
  const char* first;  // identifiers of the two vehicles of the portal's sample document
  const char* second;
};
void PrintTo(const PortalCase& portal, std::ostream* out) { *out << portal.name; }

// Runs on the portal's sample document (tests/data, UTF-8): the first vehicle has
// equipment, the extra list ";VNF;", the warranty " 12 mois ", a telephone with dots and
// a contact holding a dash that ISO-8859-15 lacks; the second has a long accented head.
class ClassifiedsEndToEndTest : public testing::EndToEndTest,
                                public ::testing::WithParamInterface<PortalCase> {
 protected:
  static constexpr const char* kDropUser = "annonces";
  static constexpr const char* kDropPassword = "Dr0p-4kLm";

  std::string Photo(const char* vehicle, int n) const {
    return std::string(vehicle) + "_" + std::to_string(n);
  }

  // The three photos and thumbnails on disk; the first is on the image server already.
  testing::RunResult Run(const FtpTestServer& images, const FtpTestServer& drop,
                         const std::string& user) {
    const PortalCase& portal = GetParam();
    for (const std::string& photo :
         {Photo(portal.first, 1), Photo(portal.first, 2), Photo(portal.second, 1)}) {
      WritePhoto(Photos(), photo + ".jpg");
      WritePhoto(Photos(), photo + "m.jpg");
    }
    WritePhoto(images.Home() + "/www/pixtrove", Photo(portal.first, 1) + ".jpg");
    WritePhoto(images.Home() + "/www/pixtrove", Photo(portal.first, 1) + "m.jpg");
    const std::string document = "ExpDatas" + std::string(portal.name) + ".xml";
    testing::WriteFile(WorkingFolder() + "/" + document,
                       ReadFile(testing::SourceDir() + "/tests/data/" + document));
    return RunKalvex(
        Ini(images, portal.code, drop.HostField(), user, kDropPassword, "TestFTPPixtrove=1\r\n"),
        portal.name);
  }

  // The working folder's output of a run with this extension: name + "_yyyymmdd".
  std::string Output(const std::string& extension) const {
    const std::regex form(std::string(GetParam().name) + "_[0-9]{8}\\." + extension);
    for (const std::string& name : Names(WorkingFolder()))
      if (std::regex_match(name, form)) return name;
    return "";
  }

  // What every run leaves, with or without upload: the ad file, its archive, the photos.
  void ExpectAdFileArchiveAndPhotos(const FtpTestServer& images) {
    const std::string result = Output("xml");
    const std::string archive = Output("zip");
    ASSERT_FALSE(result.empty());
    ASSERT_FALSE(archive.empty());
    EXPECT_EQ(Names(WorkingFolder()).size(), 3u);
    const std::string saved = ReadFile(WorkingFolder() + "/" + result);

    // ISO-8859-15 bytes, the dash it lacks as a character reference, CR LF in Texte as
    // the XML layer writes them.
    EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>"));
    EXPECT_THAT(saved, HasSubstr("<InfoMarque>Citro\xEBn</InfoMarque>"));
    EXPECT_THAT(saved, HasSubstr("<Prix>17 490 \xA4</Prix>"));
    EXPECT_THAT(saved, HasSubstr(" &#8211; M"));
    EXPECT_THAT(saved, HasSubstr(")&#13;\n&#13;\nCarrosserie : SUV&#13;\n"));
    for (const char* gone : {"\xC3", "Equt", "InfoComplement", "DataVO", "<document", "Liens"})
      EXPECT_THAT(saved, ::testing::Not(HasSubstr(gone))) << gone;

    XMLCursorPtr file = CreateXMLCursor();
    file->Load(WorkingFolder() + "/" + result);
    EXPECT_EQ(file->Select("/*")->NodeName(), "annonces");
    XMLCursorPtr ads = file->Select("/annonces/annonce");
    ASSERT_EQ(ads->Count(), 2);
    for (; !ads->Eof(); ads->Next()) {
      EXPECT_LE(Characters(ads->GetValue("Titre")), 50u);
      const std::string text = ads->GetValue("Texte");
      EXPECT_THAT(text, HasSubstr("\r\nCarrosserie : "));
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
                std::count(text.begin(), text.end(), '\r'));
      EXPECT_THAT(ads->GetValue("Telephone"), ::testing::Not(HasSubstr(".")));
      for (const char* field :
           {"Garantie", "photo1", "photo2", "photo3", "photo4", "photo5", "photo6"})
        EXPECT_FALSE(ads->Select(field)->Eof()) << field;
    }
    ads->First();
    EXPECT_THAT(ads->GetValue("Texte"),
                HasSubstr("\r\n\r\n - Véhicule non fumeur, Garantie : 12 mois\r\n\r\nContactez "));
    EXPECT_EQ(ads->GetValue("photo2"),
              "http://127.0.0.1/pixtrove/" + Photo(GetParam().first, 2) + ".jpg");

    const std::string archive_path = WorkingFolder() + "/" + archive;
    EXPECT_TRUE(UnzipTestsOk(archive_path));
    EXPECT_THAT(ArchiveEntries(archive_path), ElementsAre(result));
    EXPECT_EQ(ArchiveEntry(archive_path, result), saved);

    // The missing photos and thumbnails reached the image server.
    const std::string folder = images.Home() + "/www/pixtrove";
    EXPECT_EQ(Names(folder).size(), 6u);
    const std::string last = Photo(GetParam().second, 1) + "m.jpg";
    EXPECT_EQ(ReadFile(folder + "/" + last), ReadFile(Photos() + "/" + last));
    EXPECT_EQ(images.CountCommand("STOR"), 4);
  }
};

INSTANTIATE_TEST_SUITE_P(Portals, ClassifiedsEndToEndTest,
                         ::testing::Values(PortalCase{"LEBONCOIN", "LeBonCoin", "501", "502"},
                                           PortalCase{"INFOPRESS", "InfoPress", "601", "602"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(ClassifiedsEndToEndTest, WithAUserTheArchiveGoesToThePortalDrop) {
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  const testing::RunResult run = Run(images, drop, kDropUser);
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  ExpectAdFileArchiveAndPhotos(images);

  const std::string archive = Output("zip");
  EXPECT_THAT(Names(drop.Home()), ElementsAre(archive));
  EXPECT_EQ(ReadFile(drop.Home() + "/" + archive), ReadFile(WorkingFolder() + "/" + archive));
  EXPECT_THAT(LogLineTexts(RunLog(GetParam().code)),
              ElementsAre("Nb Images Mises à jour : 4 photos --- ",
                          "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : " +
                              archive + " - 2 VO"));
  for (const std::string& text : {run.out, run.err, RunLog(GetParam().code)}) {
    EXPECT_THAT(text, ::testing::Not(HasSubstr(images.options().password)));
    EXPECT_THAT(text, ::testing::Not(HasSubstr(kDropPassword)));
  }
}

TEST_P(ClassifiedsEndToEndTest, WithoutAUserNothingIsUploaded) {
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  const testing::RunResult run = Run(images, drop, "");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  ExpectAdFileArchiveAndPhotos(images);

  EXPECT_THAT(Names(drop.Home()), ::testing::IsEmpty());
  EXPECT_EQ(drop.CountCommand("USER"), 0);
  EXPECT_THAT(LogLineTexts(RunLog(GetParam().code)),
              ElementsAre("Nb Images Mises à jour : 4 photos --- "));
}

}  // namespace
}  // namespace kalvex
