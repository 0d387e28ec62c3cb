#include "app/qt/display.h"

namespace kalvex {

bool DisplayAvailable() { return true; }

}  // namespace kalvex
