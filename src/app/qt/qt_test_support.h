// The tests' QApplication, on Qt's offscreen platform, and a front end that records
// message boxes and close requests instead of blocking on them.
#pragma once

#include <QApplication>
#include <string>
#include <vector>

#include "app/qt/qt_front_end.h"

namespace kalvex::testing {

inline QApplication& TestQApplication() {
  static int argc = 1;
  static char name[] = "qt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* created = new QApplication(argc, argv);
    QApplication::setApplicationName("Kalvex");
    QApplication::setQuitOnLastWindowClosed(false);
    return created;
  }();
  return *app;
}

// Makes the QApplication before any widget member of a fixture.
struct WithQApplication {
  WithQApplication() { TestQApplication(); }
};

class RecordingFrontEnd : public QtFrontEnd {
 public:
  using QtFrontEnd::QtFrontEnd;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void RequestClose() override {
    ++close_requests;
    QtFrontEnd::RequestClose();
  }
  std::vector<std::string> messages;
  int close_requests = 0;
};

}  // namespace kalvex::testing
