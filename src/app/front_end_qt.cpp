// Builds with Qt: the status window when the session can show one.
#include <QApplication>

#include "app/application.h"
#include "app/front_end_choice.h"
#include "app/qt/display.h"
#include "app/qt/qt_front_end.h"

namespace kalvex {

bool WindowAvailable() { return DisplayAvailable(); }

int RunWindowFrontEnd(int argc, char** argv, const std::vector<std::string>& portal_args) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName("Kalvex");
  Application app;
  QtFrontEnd front_end(app);
  return front_end.Run(portal_args);
}

}  // namespace kalvex
