// Which front end runs a start, and the window front end's entry point.
#pragma once

#include <string>
#include <vector>

namespace kalvex {

// True when this build has the window and the session can show one.
bool WindowAvailable();

// Runs the window front end, writing the run report to report_path (native; none when
// empty); returns the process exit code.
int RunWindowFrontEnd(int argc, char** argv, const std::vector<std::string>& portal_args,
                      const std::string& report_path);

}  // namespace kalvex
