// Which front end runs a start, and the window front end's entry point.
#pragma once

#include <string>
#include <vector>

namespace kalvex {

// True when this build has the window and the session can show one.
bool WindowAvailable();

// Runs the window front end; returns the process exit code.
int RunWindowFrontEnd(int argc, char** argv, const std::vector<std::string>& portal_args);

}  // namespace kalvex
