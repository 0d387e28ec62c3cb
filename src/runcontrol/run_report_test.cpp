#include "runcontrol/run_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <regex>
#include <utility>

#include "platform/error.h"
#include "platform/platform.h"
#include "runcontrol/stock_guard.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex {
namespace {

using testing::CommandOutput;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::ShellQuoted;
using testing::TempDir;
using testing::WriteFile;

// The report written at `file`, read back.
nlohmann::json ParsedReport(const std::string& file) {
  return nlohmann::json::parse(ReadFile(file));
}

TEST(RunReportTest, JsonKeepsEveryTextAJsonReaderGivesBack) {
  TempDir dir;
  RunReport report;
  report.option = "Paru\"Vendu\\";
  report.portal = "PARUVENDU";
  // Control characters, UTF-8 and a Windows-1252 byte that is not UTF-8.
  report.error = std::string("ligne 1\r\nligne\t2 \x01\x1f fin é€ ") + "\xE9t\xE9";
  // Bytes Windows-1252 leaves undefined, an overlong "/", a UTF-16 surrogate: still a report.
  report.document = "/w/\x81\x8d\xff\xc0\xaf\xed\xa0\x80.xml";
  report.counters_known = true;
  report.vehicles = 12;
  report.servers.push_back({"portail", "::1", 2121, "dépôt", true});
  report.output_paths = {dir / "a.xml"};
  report.DescribeOutputFiles();
  const std::string file = dir / "r.json";
  WriteRunReport(file, report);

  const nlohmann::json r = ParsedReport(file);
  EXPECT_EQ(r["option"], "Paru\"Vendu\\");
  EXPECT_EQ(r["erreur"], "ligne 1\r\nligne\t2 \x01\x1f fin é€ été");
  EXPECT_THAT(r["document"].get<std::string>(), ::testing::MatchesRegex("/w/.+\\.xml"));
  EXPECT_EQ(r["compteurs"], nlohmann::json::parse(R"({"vehicules": 12, "photos": 0,
                                                    "photos_mises_a_jour": 0})"));
  EXPECT_EQ(r["serveurs"][0], nlohmann::json::parse(R"({"role": "portail", "hote": "::1",
      "port": 2121, "utilisateur": "dépôt", "connecte": true})"));
  // A file that is not there: listed without size or digest.
  EXPECT_TRUE(r["fichiers"][0]["taille"].is_null());
  EXPECT_TRUE(r["transfert"].is_null());
  EXPECT_TRUE(r["debut"].is_null());
}

TEST(RunReportTest, JsonLaysOutOneFieldALineAndOneFileOrServerALine) {
  RunReport report;
  report.option = "ParuVendu";
  report.portal = "PARUVENDU";
  report.start_time = "2026-12-09T06:30:00+01:00";
  report.end_time = "2026-12-09T06:30:42+01:00";
  report.exit_status = 6;
  report.error = "Photos non transmises au serveur d'images : 2";
  report.document = "/w/ExpDatasParuVendu.xml";
  report.counters_known = true;
  report.vehicles = 3;
  report.photos = 5;
  report.updates = 2;
  report.photos_not_sent = {"a.jpg", "am.jpg"};
  report.files = {{"/w/202612090630.xml", 5120, "9f86d0"}, {"/w/parti.xml", std::nullopt, ""}};
  report.upload_attempted = true;
  report.upload_result = "Transfert FTP OK : ";
  report.remote_name = "FerlaneDatasVO-20261209.xml";
  report.servers = {{"images", "192.168.1.20", 21, "pixtrove", true},
                    {"portail", "ftp.example.fr", 2121, "garage42", false}};
  EXPECT_EQ(RunReportJson(report),
            R"({
  "version_rapport": 1,
  "option": "ParuVendu",
  "portail": "PARUVENDU",
  "debut": "2026-12-09T06:30:00+01:00",
  "fin": "2026-12-09T06:30:42+01:00",
  "code_sortie": 6,
  "erreur": "Photos non transmises au serveur d'images : 2",
  "document": "/w/ExpDatasParuVendu.xml",
  "compteurs": {"vehicules": 3, "photos": 5, "photos_mises_a_jour": 2},
  "photos_non_envoyees": ["a.jpg", "am.jpg"],
  "fichiers": [
    {"chemin": "/w/202612090630.xml", "taille": 5120, "sha256": "9f86d0"},
    {"chemin": "/w/parti.xml", "taille": null, "sha256": null}
  ],
  "transfert": {"resultat": "Transfert FTP OK : ", "nom_distant": "FerlaneDatasVO-20261209.xml"},
  "serveurs": [
    {"role": "images", "hote": "192.168.1.20", "port": 21, "utilisateur": "pixtrove", "connecte": true},
    {"role": "portail", "hote": "ftp.example.fr", "port": 2121, "utilisateur": "garage42", "connecte": false}
  ]
}
)");
  // A run ended by a syntax error, before anything was read.
  EXPECT_EQ(RunReportJson(RunReport{}), R"({
  "version_rapport": 1,
  "option": null,
  "portail": null,
  "debut": null,
  "fin": null,
  "code_sortie": 0,
  "erreur": null,
  "document": null,
  "compteurs": null,
  "photos_non_envoyees": [],
  "fichiers": [],
  "transfert": null,
  "serveurs": []
}
)");
}

TEST(RunReportTest, OutputFilesAreListedOnceWithSizeAndDigestAsTheyStand) {
  TempDir dir;
  RunReport report;
  report.NoteOutputFile(dir / "one.xml");
  report.NoteOutputFile(dir / "two.zip");
  report.NoteOutputFile(dir / "one.xml");
  WriteFile(dir / "one.xml", "first");
  WriteFile(dir / "one.xml", std::string(200000, 'x'));  // rewritten after being noted
  WriteFile(dir / "two.zip", "");
  report.DescribeOutputFiles();
  ASSERT_EQ(report.files.size(), 2u);
  for (const ReportedFile& file : report.files) {
    const std::string sum = CommandOutput("sha256sum " + ShellQuoted(file.path));
    EXPECT_EQ(file.sha256, sum.substr(0, 64)) << file.path;
    EXPECT_EQ(file.size, static_cast<int64_t>(ReadFile(file.path).size())) << file.path;
  }
}

TEST(RunReportTest, WriteReplacesALinkAtTheReportNameWithoutWritingThroughIt) {
  TempDir dir;
  WriteFile(dir / "elsewhere", "kept");
  testing::MakeSymbolicLink(dir / "elsewhere", dir / "r.json");
  RunReport report;
  report.portal = "INFOPRESS";
  WriteRunReport(dir / "r.json", report);
  EXPECT_EQ(ReadFile(dir / "elsewhere"), "kept");
  EXPECT_EQ(ParsedReport(dir / "r.json")["portail"], "INFOPRESS");
  EXPECT_EQ(CommandOutput("ls " + ShellQuoted(dir.path())), "elsewhere\nr.json\n");
}

TEST(RunReportTest, AFifoOrAFolderAtTheReportNameIsLeftAsItIs) {
  KALVEX_SKIP_UNLESS_POSIX();
  TempDir dir;
  testing::MakeFifo(dir / "fifo.json");
  ASSERT_TRUE(std::filesystem::create_directory(dir / "folder.json"));
  const std::pair<std::string, std::string> cases[] = {{"fifo.json", "un tube nommé (FIFO)"},
                                                       {"folder.json", "un dossier"}};
  for (const auto& [name, kind] : cases) {
    try {
      WriteRunReport(dir / name, RunReport{});
      ADD_FAILURE() << name << " replaced";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "c'est " + kind +
                                           ", laissé tel quel : le rapport ne remplace qu'un "
                                           "fichier ordinaire ou un lien symbolique");
    }
  }
  EXPECT_EQ(platform::KindAt(dir / "fifo.json"), platform::PathKind::kFifo);
  EXPECT_EQ(platform::KindAt(dir / "folder.json"), platform::PathKind::kFolder);
  EXPECT_EQ(CommandOutput("ls -a " + ShellQuoted(dir.path())), ".\n..\nfifo.json\nfolder.json\n");
}

TEST(RunReportTest, TimesAreLocalIso8601WithTheOffset) {
  EXPECT_TRUE(std::regex_match(IsoLocalTimeNow(),
                               std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
      << IsoLocalTimeNow();
}

TEST(StockGuardTest, MinimumIsAWholeNumberOrNothing) {
  TempDir dir;
  auto ini_with = [&dir](const std::string& options) {
    WriteFile(dir / "Kalvex.ini", "[Options]\r\n" + options + "\r\n");
    return std::make_unique<IniFile>(dir / "Kalvex.ini");
  };
  const std::pair<const char*, int32_t> accepted[] = {
      {"", 0}, {"MinVehicules=0", 0}, {"MinVehicules= 15 ", 15}, {"MinVehicules=", 0}};
  for (const auto& [line, minimum] : accepted) {
    EXPECT_EQ(ReadMinimumVehicles(*ini_with(line)), minimum) << line;
  }
  for (const char* value : {"abc", "-3", "5 VO", "1.5", "99999999999", "+4"}) {
    const auto ini = ini_with(std::string("MinVehicules=") + value);
    try {
      ReadMinimumVehicles(*ini);
      ADD_FAILURE() << value;
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr(std::string("[Options] MinVehicules=") + value + " : "));
    }
  }
}

TEST(StockGuardTest, AStockBelowTheMinimumNamesTheDocumentTheCountAndTheMinimum) {
  EXPECT_NO_THROW(CheckStock("/w/ExpDatasParuVendu.xml", 3, 3));
  try {
    CheckStock("/w/ExpDatasParuVendu.xml", 2, 3);
    ADD_FAILURE();
  } catch (const StockBelowMinimum& e) {
    EXPECT_EQ(std::string(e.what()),
              "Stock insuffisant : le document /w/ExpDatasParuVendu.xml contient 2 véhicule(s), "
              "moins que le minimum de 3 fixé par [Options] MinVehicules dans Kalvex.ini. Export "
              "arrêté : aucun fichier du portail n'a été écrit ni envoyé, aucune photo transmise.");
  }
}

}  // namespace
}  // namespace kalvex
