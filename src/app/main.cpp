// kalvex [--console] [--report FICHIER] PORTAIL: publishes the dealer's stock to one portal.

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_texts.h"
#include "app/application.h"
#include "app/console_front_end.h"
#include "app/front_end_choice.h"
#include "exports/exporters.h"
#include "platform/platform.h"
#include "platform/temporary_files.h"

namespace {

void PrintHelp() { std::fputs(kalvex::app_text::kHelp, stdout); }

}  // namespace

int main(int argc, char** argv) {
  // Before any other thread exists: a stop signal removes the files in the making.
  kalvex::platform::InstallSignalCleanup();
  // Dates and the system's texts follow the user's locale; numbers keep the C notation,
  // which the portal files, the INI values and the XML libraries read and write.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  bool console = false;
  std::string report_path;
  std::vector<std::string> portal_args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      PrintHelp();
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("kalvex %s\n", KALVEX_FILE_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--list-portals") == 0) {
      for (const kalvex::PortalExporter& exporter : kalvex::Exporters())
        std::printf("%.*s\n", static_cast<int>(exporter.portal.code.size()),
                    exporter.portal.code.data());
      return 0;
    }
    if (std::strcmp(argv[i], "--console") == 0) {
      console = true;
      continue;
    }
    if (std::strcmp(argv[i], "--report") == 0 || std::strncmp(argv[i], "--report=", 9) == 0) {
      const bool joined = argv[i][8] == '=';
      if (!joined && i + 1 >= argc) {
        std::fprintf(stderr, "%s\n", kalvex::app_text::kReportNameMissing);
        return 2;
      }
      report_path = joined ? argv[i] + 9 : argv[++i];
      if (report_path.empty()) {
        std::fprintf(stderr, "%s\n", kalvex::app_text::kReportNameEmpty);
        return 2;
      }
      continue;
    }
    if (std::strncmp(argv[i], "--", 2) == 0) continue;  // options never name the portal
    portal_args.emplace_back(argv[i]);
  }
  if (!console && kalvex::WindowAvailable())
    return kalvex::RunWindowFrontEnd(argc, argv, portal_args, report_path);

  kalvex::Application app;
  kalvex::ConsoleFrontEnd front_end(stdout, stderr, kalvex::platform::StandardErrorIsTerminal());
  front_end.SetReportPath(report_path);
  return front_end.Run(app, portal_args);
}
