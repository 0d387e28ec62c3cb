// Builds with Qt: the status window when the session can show one.
#include <QApplication>
#include <clocale>

#include "app/application.h"
#include "app/front_end_choice.h"
#include "app/qt/display.h"
#include "app/qt/qt_front_end.h"

namespace kalvex {

bool WindowAvailable() { return DisplayAvailable(); }

int RunWindowFrontEnd(int argc, char** argv, const std::vector<std::string>& portal_args,
                      const std::string& report_path) {
  QApplication qt(argc, argv);
  // Qt takes the user's whole locale; numbers keep the C notation (see main).
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("Kalvex");
  Application app;
  QtFrontEnd front_end(app);
  front_end.SetReportPath(report_path);
  return front_end.Run(portal_args);
}

}  // namespace kalvex
