// The exporters' own texts that a user can see: why a setting or a vehicle data
// document is refused, the memo lines of the archive step and the log lines of the
// steps (step lines, summary and result lines). In French. The ad texts written into
// the portal files (ad labels, field values) are the portals' data, not messages: they
// stay beside the code that writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exports/text_join.h"

namespace kalvex::export_text {

// ---- Settings of Kalvex.ini ----

// "Nom de fichier refusé dans Kalvex.ini, [PORTAL] Key=value : ..."
inline std::string FileNameRefused(std::string_view portal, std::string_view key,
                                   std::string_view value) {
  return Join({"Nom de fichier refusé dans Kalvex.ini, [", portal, "] ", key, "=", value,
               " : le fichier doit être un simple nom dans le dossier de travail"});
}
// A file name of the portal's section that another file of the run already bears,
// letter case ignored as on Windows.
inline std::string FileNameTaken(std::string_view portal, std::string_view key,
                                 std::string_view value, std::string_view taken_by) {
  return Join({"Nom de fichier refusé dans Kalvex.ini, [", portal, "] ", key, "=", value,
               " : ce nom est déjà pris par ", taken_by,
               " dans le dossier de travail ; chaque fichier de l'export doit avoir son propre "
               "nom (majuscules et minuscules confondues)"});
}
inline std::string VehicleDocumentNamed(std::string_view name) {
  return Join({"le document des véhicules ", name});
}
inline std::string DatedCopyNamed(std::string_view name) { return Join({"la copie datée ", name}); }
inline std::string KeyNamed(std::string_view portal, std::string_view key, std::string_view value) {
  return Join({"le fichier de [", portal, "] ", key, "=", value});
}
// AutoScout24's customer number, which names the vehicle file and the archive.
inline std::string CustomerIdRefused(std::string_view portal, std::string_view id,
                                     std::string_view vehicle_file, std::string_view archive) {
  return Join({"Numéro client refusé dans Kalvex.ini, [", portal, "] idClient=", id,
               " : il nomme le fichier des véhicules ", vehicle_file, " et l'archive ", archive,
               " ; il ne peut être vide, commencer par « . » ni contenir « ; », « \\ », « / », "
               "« : » ou « .. »"});
}

// ---- The vehicle data document ----

// "Export refusé, <document> : <what>."
inline std::string DocumentRefused(std::string_view document, std::string_view what) {
  return Join({"Export refusé, ", document, " : ", what, "."});
}
inline std::string StrayMarker(std::string_view element) {
  return Join({"un élément ", element, " se trouve hors des champs d'un véhicule"});
}
inline std::string Vehicle(std::string_view key, std::string_view id) {
  return Join({"le véhicule ", key, " ", id});
}
inline std::string MissingElement(std::string_view vehicle, std::string_view element) {
  return Join({vehicle, " n'a pas d'élément ", element});
}
inline std::string SlotsApart(std::string_view vehicle, std::string_view first,
                              std::string_view last) {
  return Join(
      {vehicle, " n'a pas ses éléments ", first, " à ", last, " à la suite et dans l'ordre"});
}
inline std::string MarkerWithAttributes(std::string_view vehicle, std::string_view element) {
  return Join({vehicle, " a un élément ", element, " à attributs"});
}
inline std::string MarkersOutOfOrder(std::string_view vehicle, std::string_view opening,
                                     std::string_view closing) {
  return Join({vehicle, " a ses éléments ", opening, " et ", closing, " dans le désordre"});
}
inline std::string RecordSetUnshaped(std::string_view set, std::string_view record) {
  return Join({"l'élément ", set, " n'a pas les attributs EOF=\"…\" … RecordName=\"", record,
               "\" attendus"});
}
// What a parse error of a text the export made names as its source.
inline std::string RewrittenText(std::string_view document) {
  return Join({"texte réécrit de ", document});
}
// What the root element of a rewritten document may hold.
inline std::string RootNotDocument(std::string_view root) {
  return Join({"l'élément racine ", root, " n'est pas document"});
}
inline std::string SetMissing(std::string_view set) {
  return Join({"l'élément document n'a pas d'élément ", set});
}
inline std::string SetTwice(std::string_view set) {
  return Join({"l'élément ", set, " figure plus d'une fois sous document"});
}
// "a", "a et b", "a, b et c".
inline std::string NameList(const std::vector<std::string_view>& names) {
  std::string list;
  for (size_t i = 0; i < names.size(); ++i)
    list.append(i == 0 ? "" : i + 1 == names.size() ? " et " : ", ").append(names[i]);
  return list;
}
inline std::string SetNotAllowed(std::string_view set, std::string_view allowed) {
  return Join({"l'élément ", set, " se trouve sous document, qui ne peut contenir que ", allowed});
}
inline constexpr char kTextUnderRoot[] = "du texte se trouve sous document hors de tout élément";
inline std::string SetMustPrecede(std::string_view set, std::string_view next) {
  return Join({"l'élément ", set, " doit précéder l'élément ", next});
}
// An identifier query with nothing after its "=".
inline std::string EmptyIdentifier(std::string_view query) {
  return Join({"Identifiant vide dans la requête XPath \"", query, "\""});
}

// ---- Run ----

inline constexpr char kPhotoServiceMissing[] = "Photos : le service des photos n'est pas créé";
inline std::string ArchiveNotMade(std::string_view archive, std::string_view file_spec) {
  return Join({"Archive ", archive, " non créée : ", file_spec, " n'a pas pu y être ajouté"});
}
inline std::string ArchiveMade(std::string_view archive) {
  return Join({"Fichier ", archive, " créé"});
}

// ---- Log lines of the steps ----

inline constexpr char kAfterFirstVehicleSelect[] = "Après premier Select DataVO";
inline constexpr char kAfterFirstPhotoLinkSelect[] = "Après premier Select LiensImages";
inline constexpr char kBeforePhotoLinksRemoved[] = "Avant Suppression LiensImages";
inline constexpr char kBeforeEquipmentLabelsRemoved[] = "Avant Suppression LiensEquipements";
inline constexpr char kAfterLinksRemoved[] =
    "Après Suppression LiensImages & LiensEquipements & Aliases";
inline constexpr char kAfterAliases[] = "Après Aliases";
// Followed by the whole result text.
inline constexpr char kResultPrefix[] = "Result : ";
inline constexpr char kBeforeSave[] = "Avant Enregistrement";
// After the result text's replacements: the common wording, and ParuVendu's own.
inline constexpr char kAfterRewrites[] = "Après Remplacements";
inline constexpr char kAfterReplacements[] = "Après Replacements";
inline std::string ZipFile(std::string_view archive) { return Join({"Zip File : ", archive}); }
inline std::string TransferBegins(std::string_view file) {
  return Join({"Début Transfert : ", file});
}
// ParuVendu's line names the counts as well.
inline std::string TransferBegins(std::string_view file, int32_t vehicles, int32_t photos) {
  return Join({"Début Transfert : ", file, " - ", std::to_string(vehicles), " VO - ",
               std::to_string(photos), " photos"});
}
// The summary of the photo loop.
inline std::string PhotosUpdated(int32_t count) {
  return Join({"Nb Images Mises à jour : ", std::to_string(count), " photos --- "});
}
inline std::string PhotosNotSent(size_t count) {
  return Join({"Nb Images non envoyées : ", std::to_string(count), " photos --- "});
}
// The result of the portal upload (its own text, which ends with its separator) and
// what was sent: an archive with its vehicle count, or the portal and the file.
inline std::string ExportFileSent(std::string_view result, std::string_view sent) {
  return Join({result, "Fichier VO actualisé transmis sur site FTP : ", sent});
}
inline std::string ArchiveSent(std::string_view archive_file, int32_t vehicles) {
  return Join({archive_file, " - ", std::to_string(vehicles), " VO"});
}
inline std::string PortalFileSent(std::string_view portal, std::string_view file) {
  return Join({portal, " - ", file});
}

}  // namespace kalvex::export_text
