// Every text of the archive component that a user can see: error messages, progress
// window texts and the lines of the trace file. The tool's own texts are French; the
// messages kept from the archive library's interface stay word for word as the tool has
// always shown them (scripts and users search for them), so they remain in English.
#pragma once

#include <cstdint>
#include <string>

namespace kalvex::zip_text {

// ---- Texts kept word for word from the archive library's interface ----

inline constexpr char kDriveUnavailable[] = "Unable to access the selected drive!";
inline constexpr char kHeaderReadError[] = "Error reading CentralFileHeader.";
inline constexpr char kNotOpen[] =
    "A Zip file must be openned or created before\nAdding, Deleting or Extracting files.";
inline constexpr char kNoFiles[] = "No files have been selected.";
inline constexpr char kMultiDiskAdd[] =
    "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file onto "
    "the hard disk before retrying.";
// The progress window's caption and first text.
inline constexpr char kApplicationTitle[] = "Kalvex";
inline constexpr char kWaitText[] = "wait ...";

// "Unable to create \n\"<path>\""
inline std::string UnableToCreate(const std::string& path) {
  return "Unable to create \n\"" + path + "\"";
}
// "\"<path>\"\nis not a valid Zip file."
inline std::string NotAValidZipFile(const std::string& path) {
  return "\"" + path + "\"\nis not a valid Zip file.";
}
// "This is [ Disk <n> ] of a multiple disk Zip file.\n..."
inline std::string LastDiskWanted(int disk) {
  return "This is [ Disk " + std::to_string(disk) +
         " ] of a multiple disk Zip file.\nInsert the last disk of the Zip file before pressing "
         "[ OK ] to continue ...";
}
// "Insert [ Disk <n> ] of the Zip file into the floppy drive\n..."
inline std::string InsertDisk(int disk) {
  return "Insert [ Disk " + std::to_string(disk) +
         " ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to continue ...";
}

// ---- The component's own texts ----

// First line of a libzip failure, before "\n\"<path>\"", CR LF and the reason.
inline constexpr char kCannotOpen[] = "Impossible d'ouvrir l'archive";
inline constexpr char kCannotAdd[] = "Impossible d'ajouter à l'archive le fichier";
inline constexpr char kCannotCompress[] = "Impossible de compresser le fichier";
inline constexpr char kCannotEncrypt[] = "Impossible de chiffrer le fichier";
inline constexpr char kCannotAddFolder[] = "Impossible d'ajouter à l'archive le dossier";
inline constexpr char kCannotWrite[] = "Impossible d'écrire l'archive";
inline constexpr char kCannotUse[] = "Impossible d'utiliser l'archive";

// The reason of a libzip error code, in French; nullptr for a code without a text of
// ours (libzip's own text is shown then).
const char* LibraryReason(int zip_error_code);

// Trace file lines.
inline std::string TraceSkippedAbsent(const std::string& entry) {
  return "  ignoré : " + entry + " (absent de l'archive)";
}
inline std::string TraceSkippedNotNewer(const std::string& entry) {
  return "  ignoré : " + entry + " (pas plus récent)";
}
inline std::string TraceAdding(const std::string& entry) { return "  ajout : " + entry; }
inline std::string TraceUpdating(const std::string& entry) { return "  mise à jour : " + entry; }
inline constexpr char kTraceNothingToDo[] = "Rien à faire.";
inline constexpr char kTraceCancelled[] = "Annulé.";
inline std::string TraceWritten(int32_t entries, const std::string& archive) {
  return std::to_string(entries) +
         (entries > 1 ? " entrées écrites dans " : " entrée écrite dans ") + archive;
}

}  // namespace kalvex::zip_text
