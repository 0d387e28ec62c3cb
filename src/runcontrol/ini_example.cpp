#include "runcontrol/ini_example.h"

#include <map>

#include "runcontrol/config_keys.h"
#include "runcontrol/run_driver.h"

namespace kalvex {

namespace {

// Notes by key name; a key without one is listed with its default alone.
const std::map<std::string, std::string>& KeyNotes() {
  static const std::map<std::string, std::string> kNotes = {
      {"PathImages", "Dossier local des photos des véhicules et de leurs vignettes."},
      {"URLImages", "Adresse publique du dossier des photos ; une annonce cite adresse/nom.jpg."},
      {"ServeurFTP", "Serveur FTP : nom ou adresse, suivi de :port si ce n'est pas 21."},
      {"User", "Identifiant de connexion FTP."},
      {"PassWord", "Mot de passe FTP (jamais affiché ni écrit dans le journal)."},
      {"PathFTP", "Dossier du serveur où se placer après la connexion (vide : aucun)."},
      {"TestFTPPixtrove",
       "Interrupteur : vérifier les photos sur le serveur d'images et y envoyer celles qui "
       "manquent."},
      {"FlgInfoEquip", "Interrupteur : remplacer les codes d'équipement par leurs libellés."},
      {"PathTemp",
       "Dossier de préparation, à la suite de Windir ; vidé à chaque export, il ne doit servir "
       "à rien d'autre."},
      {"idClient", "Numéro client : début de chaque ligne, nom du fichier CSV et de l'archive."},
      {"FileResult", "Nom du fichier XML produit dans le dossier de travail."},
      {"FileResultZip", "Nom de l'archive produite et envoyée au portail."},
      {"Passif", "Interrupteur : FTP en mode passif (EPSV puis PASV) plutôt qu'actif."},
      {"TLS",
       "0 : FTP en clair ; 1 : TLS explicite, certificat du serveur vérifié ; 2 : TLS sans "
       "vérifier le certificat (serveur auto-signé)."},
      {"MinVehicules",
       "Nombre minimal de véhicules du document (0 : aucun contrôle) ; en dessous, l'export "
       "s'arrête avec le code de sortie 4 sans rien écrire ni envoyer."},
      {"DureeMaxMinutes",
       "Durée maximale d'un export, en minutes entières (0 : sans limite) ; au-delà, l'export "
       "s'arrête avec le code de sortie 7, fichiers en cours d'écriture supprimés."},
  };
  return kNotes;
}

std::string SectionNote(const std::string& section) {
  if (section == "Options") return "Réglages généraux, lus à chaque export.";
  if (section == "Pixtrove") return "Serveur d'images : photos des annonces et vignettes.";
  if (section == "TOPANNONCES")
    return "Portail TOPANNONCES : rien n'est envoyé, l'archive reste dans le dossier de "
           "travail.";
  if (section == "LEBONCOIN" || section == "INFOPRESS")
    return "Portail " + section + " : dépôt FTP ; User vide, le fichier n'est pas envoyé.";
  return "Portail " + section + " : dépôt FTP du fichier du portail.";
}

void AddKey(std::string& out, const char* key, const std::string& default_value) {
  const auto note = KeyNotes().find(key);
  if (note != KeyNotes().end()) out += "; " + note->second + "\n";
  out += std::string(";") + key + "=" + default_value + "\n";
}

void AddSection(std::string& out, const std::string& section) {
  out += "\n; " + SectionNote(section) + "\n[" + section + "]\n";
}

}  // namespace

std::string IniExample() {
  std::string out =
      "; Kalvex.ini : exemple commenté de tous les réglages.\n"
      ";\n"
      "; Le programme lit Kalvex.ini dans le dossier de son exécutable (bin/kalvex) et ne\n"
      "; l'écrit jamais. Chaque clé figure ici en commentaire avec sa valeur par défaut :\n"
      "; retirer le \";\" de tête et changer la valeur. Une clé absente prend sa valeur par\n"
      "; défaut, une clé présente mais vide vaut le texte vide. Un interrupteur est arrêté\n"
      "; par \"0\" et en marche pour tout autre texte. Les noms de section et de clé\n"
      "; ignorent la casse. Hôtes, mots de passe, numéro client et code de compte par\n"
      "; défaut sont des valeurs d'attente à remplacer.\n";
  std::string section;
  for (const config::Key& key : config::kGlobalKeys) {
    if (section != key.section) AddSection(out, section = key.section);
    AddKey(out, key.key, key.default_value);
  }
  const std::vector<config::PortalKey> keys = config::PortalKeys();
  for (const std::string& portal : PortalCodes()) {
    AddSection(out, portal);
    for (config::PortalKey key : keys) {
      const char* owner = config::PortalKeyOwner(key);
      if (owner != nullptr && portal != owner) continue;
      AddKey(out, config::PortalKeyName(key), config::PortalDefault(portal, key));
    }
  }
  return out;
}

}  // namespace kalvex
