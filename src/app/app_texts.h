// The texts of the program's front ends that a user can see: the help, the console's
// usage and error lines. In French.
#pragma once

#include <string>

namespace kalvex::app_text {

inline constexpr char kUsage[] = "Usage : kalvex [--console] [--report FICHIER] PORTAIL";

inline constexpr char kHelp[] =
    "Usage : kalvex [--console] [--report FICHIER] PORTAIL\n"
    "Publie le stock de véhicules d'occasion sur un portail d'annonces.\n"
    "PORTAIL : ParuVendu, AutoScout24, SitAutoPro, TopAnnonces, LeBonCoin ou InfoPress\n"
    "          (casse indifférente).\n"
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
    "  6 export terminé et fichier transmis, mais des photos n'ont pas atteint le serveur\n"
    "  d'images, 7 durée maximale [Options] DureeMaxMinutes dépassée (60 minutes par\n"
    "  défaut, 0 : sans limite ; fichiers temporaires supprimés), 128 + n arrêt par le\n"
    "  signal n (fichiers temporaires supprimés).\n"
    "Les dates du journal suivent la langue de l'utilisateur (LANG, LC_ALL) : 09/12/2026\n"
    "  avec fr_FR.UTF-8.\n";

inline constexpr char kReportNameMissing[] =
    "Option --report : le nom du fichier du rapport manque";
inline constexpr char kReportNameEmpty[] =
    "Option --report : le nom du fichier du rapport est vide";

// "Portail inconnu : <argument> (portails reconnus : <codes>)"
inline std::string UnknownPortal(const std::string& argument, const std::string& known) {
  return "Portail inconnu : " + argument + " (portails reconnus : " + known + ")";
}

// The run report's error texts, and the line when the report cannot be written.
inline constexpr char kUnknownError[] = "Erreur inconnue : l'export s'est arrêté";
inline std::string RunNotEnded(const std::string& portal) {
  return "Export " + portal + " non terminé";
}
inline std::string NotDelivered(const std::string& result) {
  return "Fichier non transmis au portail : " + result;
}
inline std::string PhotosNotSent(size_t count) {
  return "Photos non transmises au serveur d'images : " + std::to_string(count) +
         " (lignes « Pb Envoi » du journal)";
}
inline std::string StoppedBySignal(int signal_number) {
  return "Export arrêté par le signal " + std::to_string(signal_number) +
         " : les fichiers en cours d'écriture sont supprimés";
}
inline std::string ReportNotWritten(const std::string& path, const std::string& reason) {
  return "Rapport d'exécution non écrit dans " + path + " : " + reason;
}

// The memo's context menu: the two copies of the window, and Qt's standard edit actions
// (named by their object names), which Qt would otherwise show in English.
inline constexpr char kCopyMemoLine[] = "Copier la ligne entière";
inline constexpr char kCopyMemo[] = "Copier tout le journal";
struct StandardAction {
  const char* object_name;
  const char* text;
};
inline constexpr StandardAction kStandardActions[] = {
    {"edit-undo", "&Annuler"},
    {"edit-redo", "&Rétablir"},
    {"edit-cut", "Co&uper"},
    {"edit-copy", "&Copier"},
    {"edit-paste", "C&oller"},
    {"edit-delete", "&Supprimer"},
    {"select-all", "Tout &sélectionner"},
    {"link-copy", "Copier l'&adresse du lien"},
};

}  // namespace kalvex::app_text
