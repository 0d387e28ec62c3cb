#include "runcontrol/run_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <utility>

#include "platform/error.h"
#include "platform/platform.h"
#include "runcontrol/stock_guard.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::CommandOutput;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::ShellQuoted;
using testing::TempDir;
using testing::WriteFile;

// The value python3's json module reads at a path of keys ("a/0/b"), as json.dumps
// writes it back (ASCII escapes), or "parse error".
std::string ParsedValue(const std::string& file, const std::string& keys) {
  const std::string script =
      "import json,sys\n"
      "try:\n"
      "  v = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
      "except ValueError:\n"
      "  print(\"parse error\"); sys.exit(0)\n"
      "for k in [k for k in sys.argv[2].split(\"/\") if k]:\n"
      "  v = v[int(k)] if isinstance(v, list) else v[k]\n"
      "print(json.dumps(v, sort_keys=True))\n";
  std::string out = CommandOutput("python3 -c " + ShellQuoted(script) + " " + ShellQuoted(file) +
                                  " " + ShellQuoted(keys));
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

TEST(RunReportTest, JsonKeepsEveryTextAJsonReaderGivesBack) {
  TempDir dir;
  RunReport report;
  report.option = "Paru\"Vendu\\";
  report.portal = "PARUVENDU";
  // Control characters, UTF-8 and a Windows-1252 byte that is not UTF-8.
  report.error = std::string("ligne 1\r\nligne\t2 \x01\x1f fin é€ ") + "\xE9t\xE9";
  report.counters_known = true;
  report.vehicles = 12;
  report.servers.push_back({"portail", "::1", 2121, "dépôt", true});
  report.output_paths = {dir / "a.xml"};
  report.DescribeOutputFiles();
  const std::string file = dir / "r.json";
  WriteRunReport(file, report);

  EXPECT_EQ(ParsedValue(file, "option"), "\"Paru\\\"Vendu\\\\\"");
  EXPECT_EQ(ParsedValue(file, "erreur"),
            "\"ligne 1\\r\\nligne\\t2 \\u0001\\u001f fin \\u00e9\\u20ac \\u00e9t\\u00e9\"");
  EXPECT_EQ(ParsedValue(file, "compteurs"),
            "{\"photos\": 0, \"photos_mises_a_jour\": 0, \"vehicules\": 12}");
  EXPECT_EQ(ParsedValue(file, "serveurs/0"),
            "{\"connecte\": true, \"hote\": \"::1\", \"port\": 2121, \"role\": \"portail\", "
            "\"utilisateur\": \"d\\u00e9p\\u00f4t\"}");
  // A file that is not there: listed without size or digest.
  EXPECT_EQ(ParsedValue(file, "fichiers/0/taille"), "null");
  EXPECT_EQ(ParsedValue(file, "transfert"), "null");
  EXPECT_EQ(ParsedValue(file, "debut"), "null");
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
  ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (dir / "r.json").c_str()), 0);
  RunReport report;
  report.portal = "INFOPRESS";
  WriteRunReport(dir / "r.json", report);
  EXPECT_EQ(ReadFile(dir / "elsewhere"), "kept");
  EXPECT_EQ(ParsedValue(dir / "r.json", "portail"), "\"INFOPRESS\"");
  EXPECT_EQ(CommandOutput("ls " + ShellQuoted(dir.path())), "elsewhere\nr.json\n");
}

TEST(RunReportTest, AFifoOrAFolderAtTheReportNameIsLeftAsItIs) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0644), 0);
  ASSERT_EQ(::mkdir((dir / "folder.json").c_str(), 0755), 0);
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
