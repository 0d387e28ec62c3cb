// The run-level state: the process-wide values that the driver, the exporters, the
// photo synchronisation and the log share during a run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runcontrol/ini_file.h"
#include "runcontrol/run_deadline.h"
#include "runcontrol/run_report.h"

namespace kalvex {

struct RunState {
  // A new reader at every run; readers of earlier runs are kept until the process ends.
  std::shared_ptr<IniFile> config;
  std::string selected_portal;  // empty or one of the six portal codes
  std::string photo_folder;     // [Options] PathImages
  std::string image_base_url;   // [Options] URLImages
  int32_t photo_counter = 0;
  int32_t update_counter = 0;
  int32_t vehicle_counter = 0;
  // Set when a portal upload of the run failed (ExportRun::SendExportFile); reset by the
  // driver.
  bool portal_upload_failed = false;
  // [Options] MinVehicules of the run (0: no minimum); read by the driver before the log
  // restarts, checked when the exporter loads its document.
  int32_t min_vehicles = 0;
  // [Options] DureeMaxMinutes of the run: started by the driver, stopped when the run
  // ends; the exporters' shared steps check it, and it bounds the FTP operations.
  RunDeadline deadline;
  // What the run did, for the run report; reset by the driver at every run.
  RunReport report;

  const IniFile& Config() const;
  void ResetCounters() { photo_counter = update_counter = vehicle_counter = 0; }
};

}  // namespace kalvex
