// The run driver: takes the portal option, opens Kalvex.ini beside the executable, reads
// [Options], recognises the portal code, sets the window texts, restarts the run log and
// hands control to the portal's exporter. It catches no error: whatever a step or an
// exporter raises reaches the caller, which reports it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runcontrol/run_context.h"

namespace kalvex {

using Exporter = std::function<void(RunContext&)>;

// The six portal codes, in dispatch order.
const std::vector<std::string>& PortalCodes();

class RunDriver {
 public:
  explicit RunDriver(RunContext& context) : ctx_(context) {}

  // Joins an exporter to the dispatch table under its portal code.
  void SetExporter(const std::string& code, Exporter exporter);
  // True when an exporter serves the portal code (upper case).
  bool HasExporter(const std::string& code) const;

  // Folder in which Kalvex.ini is looked for ("\" form, with trailing separator);
  // the executable's folder unless set.
  void SetIniFolder(const std::string& folder) { ini_folder_ = folder; }

  // The window's creation: with exactly one argument (after the program name) runs
  // the export, otherwise shows the syntax line.
  void FormCreate(const std::vector<std::string>& args);
  // "Démarrer": runs the export named by the combo text when it is not empty.
  void Button1Click();
  void RunExport(const std::string& option);

 private:
  RunContext& ctx_;
  std::map<std::string, Exporter> exporters_;
  std::string ini_folder_;
};

}  // namespace kalvex
