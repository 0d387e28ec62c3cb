#include "zip/zip_texts.h"

#include <zip.h>

namespace kalvex::zip_text {

const char* LibraryReason(int zip_error_code) {
  switch (zip_error_code) {
    case ZIP_ER_MULTIDISK:
      return "archive sur plusieurs disques non prise en charge";
    case ZIP_ER_RENAME:
      return "le fichier temporaire n'a pas pu être renommé";
    case ZIP_ER_CLOSE:
      return "l'archive n'a pas pu être fermée";
    case ZIP_ER_SEEK:
      return "erreur de positionnement dans le fichier";
    case ZIP_ER_READ:
      return "erreur de lecture";
    case ZIP_ER_WRITE:
      return "erreur d'écriture";
    case ZIP_ER_CRC:
      return "erreur de CRC";
    case ZIP_ER_NOENT:
      return "fichier introuvable";
    case ZIP_ER_EXISTS:
      return "le fichier existe déjà";
    case ZIP_ER_OPEN:
      return "le fichier ne peut être ouvert";
    case ZIP_ER_TMPOPEN:
      return "le fichier temporaire ne peut être créé";
    case ZIP_ER_ZLIB:
      return "erreur de compression (zlib)";
    case ZIP_ER_MEMORY:
      return "mémoire insuffisante";
    case ZIP_ER_CHANGED:
      return "l'entrée a été modifiée";
    case ZIP_ER_COMPNOTSUPP:
      return "méthode de compression non prise en charge";
    case ZIP_ER_EOF:
      return "fin de fichier prématurée";
    case ZIP_ER_INVAL:
      return "argument invalide";
    case ZIP_ER_NOZIP:
      return "ce n'est pas une archive Zip";
    case ZIP_ER_INTERNAL:
      return "erreur interne de la bibliothèque d'archives";
    case ZIP_ER_INCONS:
      return "archive Zip incohérente";
    case ZIP_ER_REMOVE:
      return "le fichier ne peut être supprimé";
    case ZIP_ER_DELETED:
      return "l'entrée a été supprimée";
    case ZIP_ER_ENCRNOTSUPP:
      return "méthode de chiffrement non prise en charge";
    case ZIP_ER_RDONLY:
      return "archive en lecture seule";
    case ZIP_ER_NOPASSWD:
      return "aucun mot de passe fourni";
    case ZIP_ER_WRONGPASSWD:
      return "mot de passe incorrect";
    case ZIP_ER_OPNOTSUPP:
      return "opération non prise en charge";
    case ZIP_ER_INUSE:
      return "ressource encore utilisée";
    case ZIP_ER_TELL:
      return "erreur de lecture de la position dans le fichier";
    case ZIP_ER_COMPRESSED_DATA:
      return "données compressées invalides";
    case ZIP_ER_CANCELLED:
      return "opération annulée";
    default:
      return nullptr;
  }
}

}  // namespace kalvex::zip_text
