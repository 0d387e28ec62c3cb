#include "app/qt/display.h"
#include "platform/platform.h"

namespace kalvex {

bool DisplayAvailable() {
  return !platform::GetEnv("QT_QPA_PLATFORM").empty() || !platform::GetEnv("DISPLAY").empty() ||
         !platform::GetEnv("WAYLAND_DISPLAY").empty();
}

}  // namespace kalvex
