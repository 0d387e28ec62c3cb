// Builds without Qt: only the console front end exists.
#include "app/front_end_choice.h"

namespace kalvex {

bool WindowAvailable() { return false; }

int RunWindowFrontEnd(int, char**, const std::vector<std::string>&, const std::string&) {
  return 2;
}

}  // namespace kalvex
