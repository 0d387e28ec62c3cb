// The run report (--report FILE) and the empty-stock guard ([Options] MinVehicules) end
// to end: the built executable on each portal's sample document against loopback FTP
// servers; each report is read back as JSON and its files are checked against sha256sum.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "e2e_fixture.h"

namespace kalvex {
namespace {

using testing::CommandOutput;
using ::testing::ElementsAre;
using testing::FtpServerOptions;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::ReadFile;
using testing::RunResult;
using testing::ShellQuoted;
using testing::WriteFile;

// A report read back: every value under its path of keys ("fichiers.0.taille"), strings
// as they are (line breaks as \r and \n), anything else as JSON writes it, and the length
// of each list under "<path>.#". A file that is not JSON gives the single entry
// "erreur_json".
using Report = std::map<std::string, std::string>;

void Flatten(const std::string& path, const nlohmann::json& value, Report& report) {
  const std::string prefix = path.empty() ? "" : path + ".";
  if (value.is_object()) {
    for (const auto& [key, item] : value.items()) Flatten(prefix + key, item, report);
  } else if (value.is_array()) {
    report[prefix + "#"] = std::to_string(value.size());
    for (size_t i = 0; i < value.size(); ++i) Flatten(prefix + std::to_string(i), value[i], report);
  } else if (value.is_string()) {
    std::string text;
    for (const char c : value.get<std::string>())
      text += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    report[path] = text;
  } else {
    report[path] = value.dump();
  }
}

Report ReadReport(const std::string& file) {
  Report report;
  try {
    Flatten("", nlohmann::json::parse(ReadFile(file)), report);
  } catch (const std::exception& e) {  // no file, or not JSON
    return {{"erreur_json", e.what()}};
  }
  return report;
}

std::string Sha256Sum(const std::string& file) {
  return CommandOutput("sha256sum " + ShellQuoted(file)).substr(0, 64);
}

bool IsIsoTime(const std::string& text) {
  return std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)"));
}

struct PortalCase {
  const char* code;
  const char* name;
  bool uploads;  // TopAnnonces keeps its archive
};

class RunReportEndToEndTest : public testing::EndToEndTest {
 protected:
  static constexpr const char* kDropUser = "depot";
  static constexpr const char* kDropPassword = "Dr0p-R3port";

  std::string ReportPath() const { return dir_.path() + "/rapport/kalvex.json"; }
  std::string DocumentName(const PortalCase& portal) const {
    return "ExpDatas" + std::string(portal.name) + ".xml";
  }
  void CopySampleDocument(const PortalCase& portal) {
    WriteFile(WorkingFolder() + "/" + DocumentName(portal),
              ReadFile(testing::SourceDir() + "/tests/data/" + DocumentName(portal)));
  }
  // The portal's run with the image-server check on and the report asked for.
  RunResult Run(const PortalCase& portal, const FtpTestServer& images, const std::string& drop,
                const std::string& options = "") {
    std::filesystem::create_directory(dir_.path() + "/rapport");
    std::string ini =
        Ini(images, portal.code, drop, kDropUser, kDropPassword, "TestFTPPixtrove=1\r\n");
    ini.insert(ini.find("[Pixtrove]"), options);
    return RunKalvex(ini, "--report " + ShellQuoted(ReportPath()) + " " + portal.name);
  }
};

class EveryPortalTest : public RunReportEndToEndTest,
                        public ::testing::WithParamInterface<PortalCase> {};

INSTANTIATE_TEST_SUITE_P(Portals, EveryPortalTest,
                         ::testing::Values(PortalCase{"PARUVENDU", "ParuVendu", true},
                                           PortalCase{"AUTOSCOUT24", "AutoScout24", true},
                                           PortalCase{"SITAUTOPRO", "SitAutoPro", true},
                                           PortalCase{"TOPANNONCES", "TopAnnonces", false},
                                           PortalCase{"LEBONCOIN", "LeBonCoin", true},
                                           PortalCase{"INFOPRESS", "InfoPress", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(EveryPortalTest, ANormalRunReportsItsCountersFilesUploadAndServers) {
  const PortalCase& portal = GetParam();
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  CopySampleDocument(portal);
  const std::string document = ReadFile(WorkingFolder() + "/" + DocumentName(portal));
  // Every photo the links name is here and missing on the image server.
  const std::regex image("<NomImage>([^<]+)</NomImage>");
  for (std::sregex_iterator it(document.begin(), document.end(), image), end; it != end; ++it) {
    WritePhoto(Photos(), (*it)[1].str() + ".jpg");
    WritePhoto(Photos(), (*it)[1].str() + "m.jpg");
  }
  const RunResult run = Run(portal, images, drop.HostField(), "MinVehicules=1\r\n");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;

  Report r = ReadReport(ReportPath());
  EXPECT_EQ(r["portail"], portal.code);
  EXPECT_EQ(r["option"], portal.name);
  EXPECT_TRUE(IsIsoTime(r["debut"])) << r["debut"];
  EXPECT_TRUE(IsIsoTime(r["fin"])) << r["fin"];
  EXPECT_LE(r["debut"], r["fin"]);
  EXPECT_EQ(r["code_sortie"], "0");
  EXPECT_EQ(r["erreur"], "null");
  EXPECT_EQ(r["document"], WorkingFolder() + "/" + DocumentName(portal));
  auto count = [&document](const std::string& tag) {
    size_t n = 0;
    for (size_t at = document.find(tag); at != std::string::npos; at = document.find(tag, at + 1))
      ++n;
    return std::to_string(n);
  };
  EXPECT_EQ(r["compteurs.vehicules"], count("</DataVO>"));
  EXPECT_EQ(r["compteurs.photos"], count("</LiensImages>"));
  EXPECT_EQ(r["compteurs.photos_mises_a_jour"],
            std::to_string(2 * std::stoi(count("</LiensImages>"))));
  EXPECT_EQ(r["photos_non_envoyees.#"], "0");

  // Every file of the working folder but the document is listed, with its real size
  // and digest; AutoScout24 lists its vehicle file from the staging folder too.
  std::set<std::string> listed;
  const int files = std::stoi(r["fichiers.#"]);
  for (int i = 0; i < files; ++i) {
    const std::string key = "fichiers." + std::to_string(i) + ".";
    const std::string path = r[key + "chemin"];
    EXPECT_EQ(r[key + "taille"], std::to_string(ReadFile(path).size())) << path;
    EXPECT_EQ(r[key + "sha256"], Sha256Sum(path)) << path;
    listed.insert(path);
  }
  std::set<std::string> written;
  for (const std::string& name : Names(WorkingFolder()))
    if (name != DocumentName(portal)) written.insert(WorkingFolder() + "/" + name);
  if (std::string(portal.code) == "AUTOSCOUT24")
    written.insert(Windir() + "/TEMP/AS24/0000000000.csv");
  EXPECT_EQ(listed, written);

  if (portal.uploads) {
    EXPECT_EQ(r["transfert.resultat"], "Transfert FTP OK : ");
    ASSERT_EQ(Names(drop.Home()).size(), 1u);
    EXPECT_EQ(r["transfert.nom_distant"], Names(drop.Home())[0]);
    EXPECT_TRUE(listed.count(WorkingFolder() + "/" + r["transfert.nom_distant"]));
  } else {
    EXPECT_EQ(r["transfert"], "null");
  }
  EXPECT_EQ(r["serveurs.#"], portal.uploads ? "2" : "1");
  EXPECT_EQ(r["serveurs.0.role"], "images");
  EXPECT_EQ(r["serveurs.0.hote"], "127.0.0.1");
  EXPECT_EQ(r["serveurs.0.port"], std::to_string(images.port()));
  EXPECT_EQ(r["serveurs.0.utilisateur"], images.options().user);
  EXPECT_EQ(r["serveurs.0.connecte"], "true");
  if (portal.uploads) {
    EXPECT_EQ(r["serveurs.1.role"], "portail");
    EXPECT_EQ(r["serveurs.1.port"], std::to_string(drop.port()));
    EXPECT_EQ(r["serveurs.1.utilisateur"], kDropUser);
    EXPECT_EQ(r["serveurs.1.connecte"], "true");
  }
  const std::string text = ReadFile(ReportPath());
  EXPECT_THAT(text, Not(HasSubstr(kDropPassword)));
  EXPECT_THAT(text, Not(HasSubstr(images.options().password)));
  EXPECT_THAT(Names(dir_.path() + "/rapport"), ElementsAre("kalvex.json"));
}

TEST_P(EveryPortalTest, AStockBelowMinVehiculesEndsWithCode4BeforeAnythingIsWrittenOrSent) {
  const PortalCase& portal = GetParam();
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  // The sample document with its vehicles gone: links, labels and photos stay.
  std::string document = ReadFile(testing::SourceDir() + "/tests/data/" + DocumentName(portal));
  const size_t first = document.find("<DataVO>");
  const size_t end = document.rfind("</DataVO>");
  ASSERT_NE(first, std::string::npos);
  document.erase(first, end + 9 - first);
  WriteFile(WorkingFolder() + "/" + DocumentName(portal), document);
  for (const char* photo : {"photo.jpg", "photom.jpg"}) WritePhoto(Photos(), photo);

  const RunResult run = Run(portal, images, drop.HostField(), "MinVehicules=1\r\n");
  EXPECT_EQ(run.exit_code, 4) << run.out << run.err;
  EXPECT_THAT(run.err, HasSubstr("Stock insuffisant : le document " + WorkingFolder() + "/" +
                                 DocumentName(portal) +
                                 " contient 0 véhicule(s), moins que le "
                                 "minimum de 1 fixé par [Options] MinVehicules"));
  EXPECT_THAT(Names(WorkingFolder()), ElementsAre(DocumentName(portal)));
  EXPECT_FALSE(testing::PathExists(Windir() + "/TEMP/AS24"));
  EXPECT_THAT(images.Commands(), IsEmpty());
  EXPECT_THAT(drop.Commands(), IsEmpty());

  Report r = ReadReport(ReportPath());
  EXPECT_EQ(r["code_sortie"], "4");
  EXPECT_THAT(r["erreur"], HasSubstr("Stock insuffisant"));
  EXPECT_EQ(r["compteurs.vehicules"], "0");
  EXPECT_EQ(r["fichiers.#"], "0");
  EXPECT_EQ(r["transfert"], "null");
  EXPECT_EQ(r["serveurs.#"], "0");
}

const PortalCase kParuVendu{"PARUVENDU", "ParuVendu", true};

TEST_F(RunReportEndToEndTest, AFailedUploadReportsItsResultTextWithCode3) {
  FtpServerOptions refusing = DropOptions(kDropUser, kDropPassword);
  refusing.refuse_stor = true;
  FtpTestServer images(ImageServerOptions());
  FtpTestServer drop(refusing);
  CopySampleDocument(kParuVendu);
  const RunResult run = Run(kParuVendu, images, drop.HostField());
  EXPECT_EQ(run.exit_code, 3) << run.out << run.err;

  Report r = ReadReport(ReportPath());
  EXPECT_EQ(r["code_sortie"], "3");
  EXPECT_EQ(r["erreur"],
            "Fichier non transmis au portail : Transfert FTP : Erreur lors du transfert.");
  EXPECT_EQ(r["transfert.resultat"], "Transfert FTP : Erreur lors du transfert. ");
  EXPECT_THAT(r["transfert.nom_distant"], ::testing::MatchesRegex("FerlaneDatasVO-[0-9]{8}\\.xml"));
  EXPECT_EQ(r["serveurs.1.role"], "portail");
  EXPECT_EQ(r["serveurs.1.connecte"], "true");
  EXPECT_EQ(r["fichiers.#"], "2");
}

// An image server that answers 552 to every STOR: no photo counts as sent, each is
// listed, and the run ends with code 6, or 3 when the portal file did not go either.
TEST_F(RunReportEndToEndTest, PhotosTheImageServerRefusesAreListedWithCode6) {
  FtpServerOptions full = ImageServerOptions();
  full.full_stor = true;
  FtpTestServer images(full);
  FtpTestServer drop(DropOptions(kDropUser, kDropPassword));
  CopySampleDocument(kParuVendu);
  const std::string document = ReadFile(WorkingFolder() + "/" + DocumentName(kParuVendu));
  std::vector<std::string> expected;
  const std::regex image("<NomImage>([^<]+)</NomImage>");
  for (std::sregex_iterator it(document.begin(), document.end(), image), end; it != end; ++it) {
    for (const std::string& file : {(*it)[1].str() + ".jpg", (*it)[1].str() + "m.jpg"}) {
      WritePhoto(Photos(), file);
      expected.push_back(file);
    }
  }
  ASSERT_FALSE(expected.empty());
  RunResult run = Run(kParuVendu, images, drop.HostField());
  EXPECT_EQ(run.exit_code, 6) << run.out << run.err;
  Report r = ReadReport(ReportPath());
  EXPECT_EQ(r["code_sortie"], "6");
  EXPECT_EQ(r["erreur"], "Photos non transmises au serveur d'images : " +
                             std::to_string(expected.size()) + " (lignes « Pb Envoi » du journal)");
  EXPECT_EQ(r["compteurs.photos_mises_a_jour"], "0");
  ASSERT_EQ(r["photos_non_envoyees.#"], std::to_string(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(r["photos_non_envoyees." + std::to_string(i)], expected[i]);
  EXPECT_EQ(r["transfert.resultat"], "Transfert FTP OK : ");
  for (const std::string& file : expected)
    EXPECT_THAT(run.out, HasSubstr(" - Pb Envoi : " + file + "\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("Nb Images Mises à jour")));
  EXPECT_THAT(ReadFile(Windir() + "/TEMP/DadozoVavirePARUVENDU.log"),
              HasSubstr(" - Nb Images non envoyées : " + std::to_string(expected.size()) +
                        " photos --- \r\n"));
  // Nothing reached the image folder, nothing else appeared on that server.
  EXPECT_THAT(Names(images.Home() + "/www/pixtrove"), IsEmpty());
  EXPECT_THAT(Names(images.Home()), ElementsAre("www"));

  // The portal file that did not go either: 3 wins over 6.
  FtpServerOptions refusing = DropOptions(kDropUser, kDropPassword);
  refusing.refuse_stor = true;
  FtpTestServer refusing_drop(refusing);
  run = Run(kParuVendu, images, refusing_drop.HostField());
  EXPECT_EQ(run.exit_code, 3) << run.out << run.err;
  r = ReadReport(ReportPath());
  EXPECT_EQ(r["photos_non_envoyees.#"], std::to_string(expected.size()));
}

TEST_F(RunReportEndToEndTest, AMissingDocumentReportsTheErrorWithCode1) {
  FtpTestServer images(ImageServerOptions());
  const RunResult run = Run(kParuVendu, images, images.HostField());
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;

  Report r = ReadReport(ReportPath());
  EXPECT_EQ(r["code_sortie"], "1");
  EXPECT_EQ(r["portail"], "PARUVENDU");
  EXPECT_THAT(r["erreur"], HasSubstr("ExpDatasParuVendu.xml"));
  EXPECT_THAT(run.err, HasSubstr(r["erreur"].substr(0, 20)));
  EXPECT_EQ(r["document"], WorkingFolder() + "/ExpDatasParuVendu.xml");
  EXPECT_EQ(r["compteurs"], "null");
  EXPECT_EQ(r["fichiers.#"], "0");
  EXPECT_EQ(r["transfert"], "null");
  EXPECT_EQ(r["serveurs.#"], "0");
}

TEST_F(RunReportEndToEndTest, RefusedStartsAreReportedToo) {
  FtpTestServer images(ImageServerOptions());
  CopySampleDocument(kParuVendu);
  struct Case {
    std::string options;
    std::string portal;
    int code;
    std::string error;
  };
  const Case cases[] = {
      {"", "Foo", 2, "Portail inconnu : Foo (portails reconnus : PARUVENDU, "},
      {"MinVehicules=beaucoup\r\n", "ParuVendu", 1,
       "Valeur refusée dans Kalvex.ini, [Options] MinVehicules=beaucoup : "},
      {"DureeMaxMinutes=une heure\r\n", "ParuVendu", 1,
       "Valeur refusée dans Kalvex.ini, [Options] DureeMaxMinutes=une heure : "},
  };
  for (const Case& c : cases) {
    const RunResult run = Run({"", c.portal.c_str(), false}, images, images.HostField(), c.options);
    EXPECT_EQ(run.exit_code, c.code) << run.err;
    EXPECT_THAT(run.err, HasSubstr(c.error));
    Report r = ReadReport(ReportPath());
    EXPECT_EQ(r["code_sortie"], std::to_string(c.code));
    EXPECT_THAT(r["erreur"], ::testing::StartsWith(c.error));
  }
  EXPECT_THAT(Names(WorkingFolder()), ElementsAre("ExpDatasParuVendu.xml"));
}

TEST_F(RunReportEndToEndTest, AReportThatCannotBeWrittenIsSaidAndFailsOnlyARunThatSucceeded) {
  FtpTestServer images(ImageServerOptions());
  const std::string unwritable = dir_.path() + "/absent/kalvex.json";
  const std::string ini =
      Ini(images, "TOPANNONCES", images.HostField(), kDropUser, kDropPassword, "");
  const std::string message = "Rapport d'exécution non écrit dans " + unwritable + " : ";
  // No document: the run's own failure keeps its code.
  RunResult run = RunKalvex(ini, "--report " + ShellQuoted(unwritable) + " TopAnnonces");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_THAT(run.err, HasSubstr(message));
  CopySampleDocument({"TOPANNONCES", "TopAnnonces", false});
  run = RunKalvex(ini, "--report " + ShellQuoted(unwritable) + " TopAnnonces");
  EXPECT_EQ(run.exit_code, 5) << run.err;
  EXPECT_THAT(run.err, HasSubstr(message));
  // A FIFO at the report's name is neither replaced nor waited on.
  if (!testing::IsPosixSystem()) return;  // no FIFO elsewhere
  const std::string fifo = dir_.path() + "/rapport.fifo";
  testing::MakeFifo(fifo);
  run = RunKalvex(ini, "--report " + ShellQuoted(fifo) + " TopAnnonces");
  EXPECT_EQ(run.exit_code, 5) << run.err;
  EXPECT_THAT(run.err, HasSubstr("Rapport d'exécution non écrit dans " + fifo +
                                 " : c'est un tube nommé (FIFO), laissé tel quel"));
  EXPECT_TRUE(testing::IsFifo(fifo));
}

TEST_F(RunReportEndToEndTest, ARunPastDureeMaxMinutesEndsWithCode7AsAStopSignalEndsIt) {
  FtpTestServer images(ImageServerOptions());
  FtpServerOptions stalling = DropOptions(kDropUser, kDropPassword);
  stalling.fault_stall_stor_after_bytes = 1;  // takes the first bytes, then never answers
  FtpTestServer drop(stalling);
  CopySampleDocument(kParuVendu);
  std::filesystem::create_directory(dir_.path() + "/rapport");
  // What lies outside the tool's folders (its TEMP folder, the report's folder, the
  // program's own folder and the captured output).
  const std::string outside = "cd " + ShellQuoted(dir_.path()) +
                              " && find . -mindepth 1 \\( -path ./windows/TEMP -o -path ./rapport "
                              "-o -path ./bin -o -name out -o "
                              "-name err \\) -prune -o -printf '%p %s %T@\\n' | sort";
  const std::string before = CommandOutput(outside);
  std::string ini = Ini(images, "PARUVENDU", drop.HostField(), kDropUser, kDropPassword, "");
  ini.insert(ini.find("[Pixtrove]"), "DureeMaxMinutes=1\r\n");

  // One minute of the deadline lasts 4 s here: the run is cut while the drop keeps the
  // upload waiting.
  const auto start = std::chrono::steady_clock::now();
  const RunResult run = RunKalvex(ini, "--report " + ShellQuoted(ReportPath()) + " ParuVendu",
                                  "KALVEX_TEST_MINUTE_MS=4000");
  const auto spent = std::chrono::steady_clock::now() - start;
  const std::string message =
      "Durée maximale d'exécution dépassée (1 min, [Options] DureeMaxMinutes dans Kalvex.ini) "
      "pendant : envoi au portail.";
  EXPECT_EQ(run.exit_code, 7) << run.out << run.err;
  EXPECT_EQ(run.err, message + "\n");
  EXPECT_LT(spent, std::chrono::seconds(30));  // a minute of 4 s, the deletion's allowance

  Report r = ReadReport(ReportPath());
  EXPECT_EQ(r["code_sortie"], "7");
  EXPECT_EQ(r["erreur"], message);
  EXPECT_EQ(r["portail"], "PARUVENDU");
  // The files written before the upload are kept and listed; none is in the making.
  EXPECT_EQ(r["fichiers.#"], "2");
  for (const std::string& folder : {WorkingFolder(), Windir() + "/TEMP"})
    for (const std::string& name : Names(folder))
      EXPECT_THAT(name, Not(HasSubstr(".kalvex-tmp-"))) << folder;
  // The temporary upload went from the drop, which still answered.
  EXPECT_EQ(drop.CountCommand("STOR"), 1);
  EXPECT_EQ(drop.CountCommand("DELE"), 1) << run.out;
  EXPECT_THAT(Names(drop.Home()), IsEmpty());
  EXPECT_EQ(CommandOutput(outside), before);
}

TEST_F(RunReportEndToEndTest, AStopSignalDuringTheRunLeavesAShortReport) {
  testing::SilentServer drop;  // the upload waits for a greeting that never comes
  FtpTestServer images(ImageServerOptions());
  CopySampleDocument(kParuVendu);
  std::filesystem::create_directory(dir_.path() + "/rapport");
  const std::string ini = Ini(images, "PARUVENDU", "127.0.0.1:" + std::to_string(drop.port()),
                              kDropUser, kDropPassword, "");
  const std::string windir = Windir();
  testing::Process run_process =
      Launch(ini, "ParuVendu", "signal", windir.c_str(), {"--report", ReportPath()});
  for (int i = 0; i < 600 && drop.Connections() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(drop.Connections(), 1);
  run_process.Stop(testing::StopRequest::kTerminate);
  const RunResult run = Wait(run_process, "signal");
  EXPECT_EQ(run.exit_code, testing::ExitCodeOnStop(testing::StopRequest::kTerminate));

  Report r = ReadReport(ReportPath());
  EXPECT_EQ(r["code_sortie"],
            std::to_string(testing::ExitCodeOnStop(testing::StopRequest::kTerminate)));
  EXPECT_EQ(r["portail"], "PARUVENDU");
  EXPECT_TRUE(IsIsoTime(r["debut"]) && IsIsoTime(r["fin"]));
  EXPECT_THAT(r["erreur"], HasSubstr("signal " + std::to_string(testing::StopSignalNumber(
                                                     testing::StopRequest::kTerminate))));
  EXPECT_EQ(r["compteurs"], "null");
  EXPECT_THAT(Names(dir_.path() + "/rapport"), ElementsAre("kalvex.json"));
}

}  // namespace
}  // namespace kalvex
