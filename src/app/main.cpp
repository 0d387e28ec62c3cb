// kalvex [--console] PORTAL: publishes the dealer's stock to one portal.
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
      "Usage : kalvex [--console] PORTAL\n"
      "Publie le stock de véhicules d'occasion sur un portail d'annonces.\n"
      "PORTAL : ParuVendu, AutoScout24, SitAutoPro, TopAnnonces, LeBonCoin ou InfoPress\n"
      "         (casse indifférente).\n"
      "  --console   sans fenêtre : le journal s'affiche sur la sortie standard\n"
      "  --list-portals  les portails que ce programme sait exporter, un par ligne\n"
      "  --help      cette aide\n"
      "  --version   la version du programme\n"
      "Codes de sortie (console) : 0 export terminé, 1 erreur (dont Windir non défini ou\n"
      "  export du même portail déjà en cours), 2 syntaxe ou portail inconnu, 3 export terminé\n"
      "  mais fichier non transmis au portail, 128 + n arrêt par le signal n (fichiers\n"
      "  temporaires supprimés).\n");
}

}  // namespace

int main(int argc, char** argv) {
  // Before any other thread exists: a stop signal removes the files in the making.
  kalvex::platform::InstallSignalCleanup();
  std::setlocale(LC_ALL, "");
  bool console = false;
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
    if (std::strncmp(argv[i], "--", 2) == 0) continue;  // options never name the portal
    portal_args.emplace_back(argv[i]);
  }
  if (!console && kalvex::WindowAvailable())
    return kalvex::RunWindowFrontEnd(argc, argv, portal_args);

  kalvex::Application app;
  kalvex::ConsoleFrontEnd front_end(stdout, stderr, ::isatty(STDERR_FILENO) != 0);
  return front_end.Run(app, portal_args);
}
