// Every text of the FTP sessions and uploads that a user can see: the status lines the
// sessions add to the memo, the error messages, the memo lines of the portal upload and
// the labels. The tool's own texts are French; the upload result texts and the label
// suffixes (" - on connection", " - on transfert") are kept word for word as the tool
// has always shown them, since the run log's readers and the dealers' scripts match them.
// What a server answers is shown as it came.
#pragma once

#include <string>
#include <string_view>

namespace kalvex::ftp_text {

// ---- Texts kept word for word ----

// The three result texts of an export-file upload, put in front of the result line.
inline constexpr char kTransferOk[] = "Transfert FTP OK : ";
inline constexpr char kConnectionFailed[] = "Transfert FTP : Erreur Connexion au serveur. ";
inline constexpr char kTransferFailed[] = "Transfert FTP : Erreur lors du transfert. ";
// Label suffixes while a session connects and while a file is sent.
inline constexpr char kOnConnection[] = " - on connection";
inline constexpr char kOnTransfer[] = " - on transfert";
inline constexpr char kReadingImageFolder[] = "Lecture du répertoire FTP Pixtrove";
// Label1 while the portal session connects: "Connexion " + portal + " - on connection".
inline std::string PortalConnectionLabel(const std::string& portal) {
  return "Connexion " + portal + kOnConnection;
}
// Label2 while the portal file goes: "Transfert en cours : " + percent + "%".
inline std::string TransferProgress(long percent) {
  return "Transfert en cours : " + std::to_string(percent) + "%";
}

// ---- Status lines of a session (memo) ----

inline std::string Resolving(const std::string& host) { return "Résolution du nom " + host + "."; }
inline std::string Connecting(const std::string& address) { return "Connexion à " + address + "."; }
inline constexpr char kConnected[] = "Connecté.";
inline constexpr char kDisconnected[] = "Déconnecté.";
inline std::string LoggingIn(const std::string& user) {
  return "Identification en tant que " + user + ".";
}
inline constexpr char kLoggedIn[] = "Identification réussie.";
inline std::string ChangingFolder(const std::string& folder) {
  return "Passage dans le dossier " + folder + ".";
}
inline constexpr char kListingNames[] = "Lecture de la liste des fichiers.";
inline std::string Storing(const std::string& name) { return "Envoi de " + name + "."; }
inline std::string Renaming(const std::string& name) { return "Renommage de " + name + "."; }
inline std::string RenamingTo(const std::string& name) { return "Renommage en " + name + "."; }
inline std::string Deleting(const std::string& name) { return "Suppression de " + name + "."; }
inline constexpr char kTransferComplete[] = "Transfert terminé.";
inline std::string ServerReady(const std::string& reply) { return "Serveur prêt : " + reply; }
inline std::string ServerReply(const std::string& reply) { return "Réponse du serveur : " + reply; }
inline std::string StatusError(const std::string& message) { return "Erreur : " + message; }
inline std::string GivenUp(const std::string& server) {
  return "Serveur " + server +
         " injoignable : plus aucune tentative de connexion jusqu'à la fin du programme.";
}
// A server whose TLS cannot be set up (certificate refused, AUTH TLS refused): the
// same answer would come at every attempt.
inline std::string GivenUpTls(const std::string& server) {
  return "Connexion TLS impossible avec le serveur " + server +
         " : plus aucune tentative de connexion jusqu'à la fin du programme.";
}
// A server whose transfers stalled or timed out several times in a row: the next
// transfer would most likely cost the same wait again.
inline std::string GivenUpAfterStalls(const std::string& server, int transfers) {
  return "Serveur " + server + " abandonné après " + std::to_string(transfers) +
         " transferts de suite bloqués ou hors délai : plus aucune tentative jusqu'à la fin "
         "du programme.";
}
// A reply of more lines than a memo shows: said when the lines start being left out,
// then how many were.
inline constexpr char kReplyCut[] =
    "Réponse du serveur trop longue : ses lignes suivantes ne sont pas affichées.";
inline std::string ReplyLinesNotShown(long lines) {
  return "Réponse du serveur : " + std::to_string(lines) + " lignes non affichées.";
}
inline std::string DataConnecting(const std::string& address) {
  return "Connexion de données à " + address + ".";
}
inline std::string CannotOpenStatus(const std::string& path) {
  return "Erreur : impossible d'ouvrir " + path + ".";
}

// ---- Passive mode and TLS (status lines) ----

inline std::string TlsNegotiating(const std::string& command) {
  return "Négociation TLS (" + command + ").";
}
inline std::string TlsNegotiated(const std::string& cipher) {
  return "TLS négocié : " + cipher + ".";
}
inline constexpr char kTlsNegotiated[] = "TLS négocié.";
inline constexpr char kDataEncrypted[] = "Connexions de données chiffrées (PROT P).";
inline std::string PassiveData(const std::string& command) {
  return "Connexion de données en mode passif (" + command + ").";
}
inline std::string UnverifiedWarning(const std::string& server, const std::string& session) {
  return "Attention : le certificat du serveur " + server +
         " n'est pas vérifié pour cette session (" + session +
         ", TLS=2) : la connexion est chiffrée, mais rien ne garantit que ce soit le bon "
         "serveur.";
}
inline std::string ActiveModeWithoutTls(const std::string& curl_version,
                                        const std::string& session) {
  return "Mode actif impossible avec TLS et cette version de libcurl (" + curl_version +
         ") : les données partiraient en clair, la session " + session + " utilise le mode passif.";
}

// ---- Error messages (FtpError) ----

// A TLS key of Kalvex.ini that names no mode.
inline std::string TlsSettingRefused(std::string_view section, std::string_view value) {
  return "Valeur refusée dans Kalvex.ini, [" + std::string(section) +
         "] TLS=" + std::string(value) +
         " : les valeurs possibles sont 0 (FTP sans chiffrement), 1 (TLS, certificat du "
         "serveur vérifié) et 2 (TLS, certificat du serveur non vérifié)";
}

// TLS that could not be set up, then in parentheses what went wrong.
inline std::string CertificateNotVerified(const std::string& host) {
  return "le certificat du serveur " + host + " n'a pas pu être vérifié";
}
inline std::string TlsRefused(const std::string& host) {
  return "le serveur " + host + " refuse le chiffrement TLS (AUTH TLS)";
}
inline std::string TlsFailed(const std::string& host) {
  return "la négociation TLS avec le serveur " + host + " a échoué";
}
inline constexpr char kLoginNotSent[] =
    " ; connexion abandonnée, identifiant et mot de passe non envoyés";
inline constexpr char kCertificateForAnotherName[] =
    "le certificat ne porte pas le nom de ce serveur";
// What is wrong with a server's certificate (the TLS library's verification result), in
// French; nullptr for a result without a text of ours.
const char* CertificateProblem(long verify_result);

// "FTP <session> (<host:port>) : <reason>", then " - " and the server's last refusal.
inline std::string SessionError(const std::string& session, const std::string& server,
                                const std::string& reason) {
  return "FTP " + session + " (" + server + ") : " + reason;
}
inline constexpr char kNotTriedAgain[] = "serveur injoignable, pas de nouvelle tentative";
inline constexpr char kTlsNotTriedAgain[] =
    "connexion TLS impossible avec ce serveur, pas de nouvelle tentative";
inline constexpr char kStalledNotTriedAgain[] =
    "serveur abandonné après des transferts bloqués ou hors délai, pas de nouvelle tentative";
// The passive data connection (the control connection worked): where it went and why
// it failed.
inline std::string DataConnectionFailed(const std::string& address) {
  return "connexion de données impossible" + (address.empty() ? "" : " vers " + address);
}
// A name listing beyond its bounds (size, number of names, whole duration).
inline std::string ListingTooLarge(long long megabytes) {
  return "liste des fichiers du serveur trop longue (plus de " + std::to_string(megabytes) +
         " Mio) : lecture abandonnée";
}
inline std::string ListingTooManyNames(long long names) {
  return "liste des fichiers du serveur trop longue (plus de " + std::to_string(names) +
         " noms) : lecture abandonnée";
}
inline std::string ListingTooSlow(long long seconds) {
  return "liste des fichiers du serveur non terminée au bout de " + std::to_string(seconds) +
         " s : lecture abandonnée";
}
// A stored file that the server holds shorter (or longer) than it was sent.
inline std::string StoredShort(const std::string& name, long long stored, long long sent) {
  return "fichier " + name + " incomplet sur le serveur (" + std::to_string(stored) +
         " octets reçus sur " + std::to_string(sent) + ") : envoi en échec";
}
inline constexpr char kOutOfMemory[] = "FTP : mémoire insuffisante";
inline std::string CannotOpen(const std::string& path) {
  return "FTP : impossible d'ouvrir " + path;
}
inline std::string OptionRefused(int option, const std::string& reason) {
  return "FTP : libcurl refuse l'option " + std::to_string(option) + " : " + reason;
}
inline std::string LibraryError(const std::string& reason) { return "FTP : libcurl : " + reason; }
inline constexpr char kCannotStart[] = "FTP : libcurl ne peut pas démarrer";
inline std::string CannotStart(const std::string& reason) {
  return std::string(kCannotStart) + " : " + reason;
}

// The reason of a libcurl result code in French; nullptr for a code without a text of
// ours (libcurl's own text is shown then).
const char* LibraryReason(int curl_code);
// The reason of a libcurl multi-interface code, same rule.
const char* MultiReason(int curlm_code);

// ---- Memo lines of the portal upload ----

inline std::string UploadedThenRenamed(const std::string& partial, const std::string& final_name) {
  return "Fichier déposé sous le nom provisoire " + partial + " puis renommé en " + final_name +
         ".";
}
inline std::string RenameRefused(const std::string& partial, const std::string& final_name) {
  return "Le serveur refuse de renommer " + partial +
         " : fichier déposé directement sous son nom " + final_name + ".";
}

}  // namespace kalvex::ftp_text
