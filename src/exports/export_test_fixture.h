// A run context over a temporary Windir for the exporter tests: the run-level state,
// a window model whose front end counts event processing, the run log, a fixed clock,
// a photo service that records what it is asked (the export services hold it alone: no
// portal upload, no FTP link), and the run driver, with every exporter registered, that
// opens Kalvex.ini in the temporary folder.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "exports/exporters.h"
#include "exports/photo_service.h"
#include "runcontrol/run_driver.h"
#include "test_support.h"
#include "xml/xml_cursor.h"

namespace kalvex::testing {

class CountingFrontEnd : public NullFrontEnd {
 public:
  void ProcessPendingEvents() override { ++events_processed; }
  int events_processed = 0;
};

// Records the photos asked for; counts a photo as sent to the image server when
// `sent` says so.
class RecordingPhotoService : public PhotoService {
 public:
  explicit RecordingPhotoService(RunState& state) : state_(state) {}
  void Sync(const std::string& photo_name) override {
    synced.push_back(photo_name);
    if (sent && sent(photo_name)) ++state_.update_counter;
  }
  void Stage(const std::string& staging_folder, int32_t index, const std::string& photo_name,
             const std::string& vehicle_id) override {
    staging_folders.push_back(staging_folder);
    staged.push_back(vehicle_id + "_" + std::to_string(index) + " " + photo_name);
    ++state_.photo_counter;
  }
  std::vector<std::string> synced;
  std::vector<std::string> staged;
  std::vector<std::string> staging_folders;  // one per Stage
  std::function<bool(const std::string&)> sent;

 private:
  RunState& state_;
};

class ExportFixture {
 public:
  ExportFixture()
      : windir_("Windir", dir_.path().c_str()),
        log_(state_, window_, clock_),
        photos_(state_),
        context_{state_, window_, log_, clock_},
        services_{&photos_},
        driver_(context_) {
    window_.SetFrontEnd(&front_end_);
    driver_.SetIniFolder(dir_.path() + "/");
    RegisterExporters(driver_, services_);
  }

  // Writes a vehicle data document (UTF-8 text) into the working folder, stored in the
  // encoding its declaration names, as the back office leaves it.
  void WriteDocument(const std::string& portal_name, const std::string& utf8_text) {
    XMLCursorPtr cursor = CreateXMLCursor();
    cursor->LoadXML(utf8_text);
    cursor->Save(WorkingFolder() + "/ExpDatas" + portal_name + ".xml");
  }

  // Kalvex.ini beside the "executable", then opened as the driver opens it.
  void UseIni(const std::string& text) {
    WriteFile(dir_ / "Kalvex.ini", text);
    state_.config = std::make_shared<IniFile>(dir_.path() + "/Kalvex.ini");
  }
  std::string WorkingFolder() const { return dir_.path() + "/TEMP/Kalvex"; }
  std::string LogFile(const std::string& portal) const {
    return dir_.path() + "/TEMP/DadozoVavire" + portal + ".log";
  }

  // The texts of the log file's lines, without their "date time - " heads.
  static std::vector<std::string> LogTexts(const std::string& log) {
    return testing::LogLineTexts(log);
  }
  // The same for the memo lines ("-> date time - text"; "-> " alone for a restart).
  std::vector<std::string> MemoTexts() const {
    std::vector<std::string> texts;
    for (const std::string& line : window_.MemoLines()) {
      const size_t dash = line.find(" - ");
      texts.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
    }
    return texts;
  }

  TempDir dir_;
  ScopedEnv windir_;
  RunState state_;
  CountingFrontEnd front_end_;
  WindowModel window_;
  FakeClock clock_;
  RunLog log_;
  RecordingPhotoService photos_;
  RunContext context_;
  ExportServices services_;
  RunDriver driver_;
};

}  // namespace kalvex::testing
