#include "platform/platform_texts.h"

#include <cerrno>

namespace kalvex::platform_text {

const char* SystemErrorReason(int code) {
  switch (code) {
    case EPERM:
      return "Opération non permise";
    case ENOENT:
      return "Aucun fichier ou dossier de ce nom";
    case EIO:
      return "Erreur d'entrée/sortie";
    case EBADF:
      return "Mauvais descripteur de fichier";
    case ENOMEM:
      return "Mémoire insuffisante";
    case EACCES:
      return "Permission refusée";
    case EBUSY:
      return "Périphérique ou ressource occupé";
    case EEXIST:
      return "Le fichier existe déjà";
    case EXDEV:
      return "Lien entre systèmes de fichiers différents impossible";
    case ENOTDIR:
      return "Ce n'est pas un dossier";
    case EISDIR:
      return "C'est un dossier";
    case EINVAL:
      return "Argument invalide";
    case EMFILE:
      return "Trop de fichiers ouverts";
    case EFBIG:
      return "Fichier trop volumineux";
    case ENOSPC:
      return "Plus de place sur le périphérique";
    case EROFS:
      return "Système de fichiers en lecture seule";
    case EPIPE:
      return "Tube brisé";
    case ENAMETOOLONG:
      return "Nom de fichier trop long";
    case ENOTEMPTY:
      return "Le dossier n'est pas vide";
    case ELOOP:
      return "Trop de niveaux de liens symboliques";
    case ETIMEDOUT:
      return "Délai d'attente dépassé";
    case ECONNREFUSED:
      return "Connexion refusée";
    case ECONNRESET:
      return "Connexion réinitialisée par le correspondant";
    case EHOSTUNREACH:
      return "Aucune route vers l'hôte";
    case ENETUNREACH:
      return "Le réseau n'est pas accessible";
#ifdef EDQUOT
    case EDQUOT:
      return "Quota de disque dépassé";
#endif
    default:
      return nullptr;
  }
}

}  // namespace kalvex::platform_text
