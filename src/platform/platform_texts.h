// Every text of the platform layer that a user can see: input/output errors, the reason
// of a system error, text conversion errors and the Windir check. In French, whatever the
// locale the tool runs in (a scheduler usually starts it in the C locale).
#pragma once

#include <string>

namespace kalvex::platform_text {

// A text cut after its first characters, followed by its whole length in characters.
inline std::string Shortened(const std::string& start, size_t characters) {
  return start + " … (" + std::to_string(characters) + " caractères)";
}

// A system error code (errno) in French; nullptr for a code without a text of ours,
// whose reason is then the system's own text.
const char* SystemErrorReason(int code);
// A code the system has no text for either.
inline std::string UnknownSystemError(int code) { return "Erreur " + std::to_string(code); }

// A file that can be opened but is no regular file (a FIFO, a device).
inline constexpr char kNotARegularFile[] = "Ce n'est pas un fichier ordinaire";
// A link found where the tool writes a file in place (it never follows one).
inline constexpr char kLinkRefused[] =
    "lien symbolique refusé : le fichier est remplacé par un lien";
// A link on the way to a folder the tool removes (RenewFolderBelow).
inline std::string LinkInPath(const std::string& link, const std::string& target) {
  return "le chemin passe par le lien symbolique " + link + " (vers " + target +
         "), qui n'est jamais suivi";
}
// What RenewFolderBelow refuses besides links.
inline std::string NoFolderBelow(const std::string& base) {
  return "Aucun dossier à renouveler sous " + base;
}
inline std::string PathGoesUpBelow(const std::string& path) {
  return "Le chemin " + path + " passe par « .. »";
}
// "Erreur d'entrée/sortie <code> (<reason>) : <path>"
inline std::string IoErrorMessage(int code, const std::string& reason, const std::string& path) {
  return "Erreur d'entrée/sortie " + std::to_string(code) + " (" + reason + ") : " + path;
}

inline constexpr char kWindirMissing[] =
    "La variable d'environnement Windir n'est pas définie (ou est vide) : elle désigne le "
    "dossier sous lequel se trouvent le dossier de travail (Windir/TEMP/Kalvex) et le journal "
    "(Windir/TEMP). Rien n'a été écrit ; définissez Windir puis relancez l'export.";
// Windir holding "\": the tool's "\" separators become "/", so it would name another folder.
inline std::string WindirBackslash(const std::string& value) {
  return "La variable d'environnement Windir contient « \\ » : " + value +
         " ; sur ce système « \\ » n'y sépare pas les dossiers et désignerait un autre "
         "dossier. Rien n'a été écrit ; donnez le dossier avec « / » puis relancez l'export.";
}

// Text conversion between code pages.
inline std::string UnknownCodePage(const std::string& code_page) {
  return "Jeu de caractères inconnu : " + code_page;
}
inline std::string CannotConvertFrom(const std::string& code_page) {
  return "Impossible de convertir le texte depuis le jeu de caractères " + code_page;
}
inline std::string CannotConvertTo(const std::string& code_page) {
  return "Impossible de convertir le texte vers le jeu de caractères " + code_page;
}
inline std::string CannotTransliterateTo(const std::string& code_page) {
  return "Impossible de translittérer le texte vers le jeu de caractères " + code_page;
}

}  // namespace kalvex::platform_text
