// The run control's own texts that a user can see (memo lines and errors), in French,
// and the texts of the run's frame that the tool has always shown word for word (the
// syntax line, the "Fichier INI non trouvé" log line, the window's caption and group box
// titles).
#pragma once

#include <string>
#include <string_view>

namespace kalvex::runcontrol_text {

// ---- Texts kept word for word ----

inline constexpr char kSyntax[] = "Syntax : Kalvex \"option\"";
inline std::string IniNotFound(const std::string& path) {
  return "Fichier INI non trouvé : " + path;
}
inline std::string Caption(const std::string& code) { return "Export des données pour " + code; }
inline std::string PortalServerBox(const std::string& code) {
  return "Connexion FTP pour " + code + " : ";
}

// ---- The run control's own texts ----

inline std::string PortalLocked(const std::string& code, const std::string& lock_path) {
  return "Un export " + code + " est déjà en cours (verrou " + lock_path +
         ") : ce lancement s'arrête sans toucher au journal ni aux fichiers du portail.";
}
inline std::string StaleTemporaryFilesRemoved(int count) {
  return "Fichiers temporaires d'un export interrompu supprimés : " + std::to_string(count);
}
inline std::string IniNotText(const std::string& path) {
  return "Fichier INI illisible (ce n'est pas un fichier texte) : " + path +
         " - les valeurs par défaut sont utilisées";
}
// A memo line too long to show whole: its start, then " … (<n> caractères)".
// Why the run report does not replace what stands at its path.
inline std::string ReportPathRefused(const char* kind) {
  return std::string("c'est ") + kind +
         ", laissé tel quel : le rapport ne remplace qu'un fichier ordinaire ou un lien "
         "symbolique";
}
inline constexpr char kFifoKind[] = "un tube nommé (FIFO)";
inline constexpr char kDeviceKind[] = "un périphérique";
inline constexpr char kSocketKind[] = "une socket";
inline constexpr char kFolderKind[] = "un dossier";
inline constexpr char kSpecialFileKind[] = "un fichier spécial";

// A folder setting that a run empties with everything in it, refused:
// "Dossier refusé dans Kalvex.ini, [SECTION] Key=value : <reason> ; ...".
inline std::string FolderRefused(std::string_view section, std::string_view key,
                                 std::string_view value, std::string_view reason) {
  std::string text = "Dossier refusé dans Kalvex.ini, [";
  text.append(section).append("] ").append(key).append("=").append(value);
  text.append(" : ").append(reason);
  return text +
         " ; ce dossier est vidé entièrement à chaque export, il doit servir à cela seulement";
}
inline std::string PathGoesUp(const std::string& folder) {
  return "le chemin " + folder + " passe par « .. »";
}
inline std::string FolderIsRoot(const std::string& folder) {
  return "le dossier " + folder + " est la racine du système de fichiers";
}
// What a folder to empty must neither be nor hold.
inline constexpr char kWindirFolder[] = "le dossier Windir";
inline constexpr char kLogFolder[] = "le dossier des journaux";
inline constexpr char kWorkingFolder[] = "le dossier de travail";
inline constexpr char kPhotoFolder[] = "le dossier des photos";
inline constexpr char kProgramFolder[] = "le dossier du programme";
inline constexpr char kHomeFolder[] = "le dossier personnel";
inline std::string FolderIs(const std::string& folder, const char* kept) {
  return "le dossier " + folder + " est " + kept;
}
inline std::string FolderHolds(const std::string& folder, const char* kept,
                               const std::string& kept_path) {
  return "le dossier " + folder + " contient " + kept + " " + kept_path;
}

// [Options] MinVehicules: a value that is no count, and a stock below the minimum.
inline std::string MinimumRefused(const std::string& value) {
  return "Valeur refusée dans Kalvex.ini, [Options] MinVehicules=" + value +
         " : un nombre entier de véhicules est attendu (0 ou clé absente : pas de minimum). "
         "Rien n'a été écrit ni envoyé.";
}
inline std::string StockBelowMinimum(const std::string& document, int count, int minimum) {
  return "Stock insuffisant : le document " + document + " contient " + std::to_string(count) +
         " véhicule(s), moins que le minimum de " + std::to_string(minimum) +
         " fixé par [Options] MinVehicules dans Kalvex.ini. Export arrêté : aucun fichier du "
         "portail n'a été écrit ni envoyé, aucune photo transmise.";
}

// [Options] DureeMaxMinutes: a value that is no count of minutes, the run that lasted
// longer, and the steps of a run that the message names.
inline std::string DurationRefused(const std::string& value) {
  return "Valeur refusée dans Kalvex.ini, [Options] DureeMaxMinutes=" + value +
         " : un nombre entier de minutes est attendu (0 : pas de durée maximale). Rien n'a "
         "été écrit ni envoyé.";
}
inline std::string DeadlineExceeded(int minutes, const std::string& step) {
  return "Durée maximale d'exécution dépassée (" + std::to_string(minutes) +
         " min, [Options] DureeMaxMinutes dans Kalvex.ini) pendant : " + step + ".";
}
inline constexpr char kStepPreparing[] = "préparation de l'export";
inline constexpr char kStepReadingDocument[] = "lecture du document des véhicules";
inline constexpr char kStepVehicles[] = "traitement des véhicules";
inline constexpr char kStepPhotos[] = "synchronisation des photos";
inline constexpr char kStepWritingFiles[] = "écriture des fichiers du portail";
inline constexpr char kStepArchive[] = "construction de l'archive";
inline constexpr char kStepSending[] = "envoi au portail";

}  // namespace kalvex::runcontrol_text
