// kalvex [--console] [--report FILE] PORTAL: publishes the dealer's stock to one portal.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/console_front_end.h"
#include "app/front_end_choice.h"
#include "exports/exporters.h"
#include "platform/temporary_files.h"

namespace {

void PrintHelp() {
  std::printf(
      "Usage : kalvex [--console] [--report FICHIER] PORTAL\n"
      "Publie le stock de véhicules d'occasion sur un portail d'annonces.\n"
      "PORTAL : ParuVendu, AutoScout24, SitAutoPro, TopAnnonces, LeBonCoin ou InfoPress\n"
      "         (casse indifférente).\n"
      "  --console   sans fenêtre : le journal s'affiche sur la sortie standard\n"
      "  --report FICHIER  à la fin de l'export, écrit son rapport d'exécution (JSON)\n"
      "              dans FICHIER, que l'export se termine bien ou non\n"
      "  --list-portals  les portails que ce programme sait exporter, un par ligne\n"
      "  --help      cette aide\n"
      "  --version   la version du programme\n"
      "Codes de sortie : 0 export terminé, 1 erreur (dont Windir non défini ou\n"
      "  export du même portail déjà en cours), 2 syntaxe ou portail inconnu, 3 export terminé\n"
      "  mais fichier non transmis au portail, 4 stock inférieur au minimum [Options]\n"
      "  MinVehicules (rien n'est écrit ni envoyé), 5 export terminé mais rapport non écrit,\n"
      "  128 + n arrêt par le signal n (fichiers temporaires supprimés).\n");
}

}  // namespace

int main(int argc, char** argv) {
  // Before any other thread exists: a stop signal removes the files in the making.
  kalvex::platform::InstallSignalCleanup();
  std::setlocale(LC_ALL, "");
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
        std::fprintf(stderr, "Option --report : le nom du fichier du rapport manque\n");
        return 2;
      }
      report_path = joined ? argv[i] + 9 : argv[++i];
      if (report_path.empty()) {
        std::fprintf(stderr, "Option --report : le nom du fichier du rapport est vide\n");
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
  kalvex::ConsoleFrontEnd front_end(stdout, stderr, ::isatty(STDERR_FILENO) != 0);
  front_end.SetReportPath(report_path);
  return front_end.Run(app, portal_args);
}
