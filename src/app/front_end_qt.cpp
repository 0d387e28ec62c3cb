// Builds with Qt: the status window when the session can show one.
#include <QApplication>

#include "app/application.h"
#include "app/front_end_choice.h"
#include "app/qt/qt_front_end.h"
#include "platform/platform.h"

namespace kalvex {

// A display is there when the session names one; QT_QPA_PLATFORM chooses Qt's own
// (offscreen, vnc, ...) and so always gives one.
bool WindowAvailable() {
  return !platform::GetEnv("QT_QPA_PLATFORM").empty() || !platform::GetEnv("DISPLAY").empty() ||
         !platform::GetEnv("WAYLAND_DISPLAY").empty();
}

int RunWindowFrontEnd(int argc, char** argv, const std::vector<std::string>& portal_args) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName("Kalvex");
  Application app;
  QtFrontEnd front_end(app);
  return front_end.Run(portal_args);
}

}  // namespace kalvex
