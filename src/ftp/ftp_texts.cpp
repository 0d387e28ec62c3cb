#include "ftp/ftp_texts.h"

#include <curl/curl.h>

namespace kalvex::ftp_text {

const char* LibraryReason(int curl_code) {
  switch (static_cast<CURLcode>(curl_code)) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      return "protocole non pris en charge";
    case CURLE_FAILED_INIT:
      return "initialisation de libcurl impossible";
    case CURLE_URL_MALFORMAT:
      return "adresse du serveur mal formée";
    case CURLE_NOT_BUILT_IN:
      return "fonction absente de cette version de libcurl";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "nom du serveur introuvable";
    case CURLE_COULDNT_CONNECT:
      return "connexion au serveur impossible";
    case CURLE_WEIRD_SERVER_REPLY:
      return "réponse du serveur incompréhensible";
    case CURLE_REMOTE_ACCESS_DENIED:
      return "accès refusé par le serveur";
    case CURLE_FTP_ACCEPT_FAILED:
      return "le serveur n'a pas ouvert la connexion de données";
    case CURLE_FTP_WEIRD_PASS_REPLY:
      return "réponse inattendue au mot de passe";
    case CURLE_FTP_ACCEPT_TIMEOUT:
      return "le serveur n'a pas ouvert la connexion de données à temps";
    case CURLE_FTP_WEIRD_PASV_REPLY:
      return "réponse inattendue à la demande de mode passif";
    case CURLE_FTP_WEIRD_227_FORMAT:
      return "réponse 227 mal formée";
    case CURLE_FTP_CANT_GET_HOST:
      return "adresse de données du serveur inutilisable";
    case CURLE_FTP_COULDNT_SET_TYPE:
      return "type de transfert refusé par le serveur";
    case CURLE_PARTIAL_FILE:
      return "transfert incomplet";
    case CURLE_QUOTE_ERROR:
      return "commande refusée par le serveur";
    case CURLE_WRITE_ERROR:
      return "erreur d'écriture des données reçues";
    case CURLE_UPLOAD_FAILED:
      return "envoi refusé par le serveur";
    case CURLE_READ_ERROR:
      return "erreur de lecture du fichier local";
    case CURLE_OUT_OF_MEMORY:
      return "mémoire insuffisante";
    case CURLE_OPERATION_TIMEDOUT:
      return "délai d'attente dépassé";
    case CURLE_FTP_PORT_FAILED:
      return "la commande PORT a échoué (mode actif)";
    case CURLE_FTP_COULDNT_USE_REST:
      return "reprise de transfert refusée";
    case CURLE_ABORTED_BY_CALLBACK:
      return "opération interrompue";
    case CURLE_BAD_FUNCTION_ARGUMENT:
      return "argument invalide";
    case CURLE_INTERFACE_FAILED:
      return "interface réseau inutilisable";
    case CURLE_UNKNOWN_OPTION:
      return "option inconnue";
    case CURLE_GOT_NOTHING:
      return "le serveur n'a rien répondu";
    case CURLE_SEND_ERROR:
      return "erreur d'envoi sur le réseau";
    case CURLE_RECV_ERROR:
      return "erreur de réception sur le réseau";
    case CURLE_LOGIN_DENIED:
      return "identification refusée (utilisateur ou mot de passe)";
    case CURLE_REMOTE_FILE_NOT_FOUND:
      return "fichier introuvable sur le serveur";
    case CURLE_REMOTE_DISK_FULL:
      return "disque du serveur plein";
    case CURLE_SSL_CONNECT_ERROR:
      return "échec de la négociation TLS";
    case CURLE_PEER_FAILED_VERIFICATION:
      return "certificat du serveur non reconnu";
    case CURLE_USE_SSL_FAILED:
      return "le serveur refuse le chiffrement TLS";
    case CURLE_SSL_CACERT_BADFILE:
      return "magasin de certificats illisible";
    case CURLE_SSL_CERTPROBLEM:
      return "certificat local inutilisable";
    case CURLE_SSL_SHUTDOWN_FAILED:
      return "fermeture TLS incorrecte";
    default:
      return nullptr;
  }
}

const char* CertificateProblem(long verify_result) {
  switch (verify_result) {
    case 62:  // X509_V_ERR_HOSTNAME_MISMATCH
    case 64:  // X509_V_ERR_IP_ADDRESS_MISMATCH
      return kCertificateForAnotherName;
    case 2:   // X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT
    case 20:  // X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY
    case 21:  // X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE
      return "l'autorité qui a signé le certificat n'est pas dans le magasin de certificats";
    case 9:  // X509_V_ERR_CERT_NOT_YET_VALID
      return "certificat pas encore valable";
    case 10:  // X509_V_ERR_CERT_HAS_EXPIRED
      return "certificat expiré";
    case 18:  // X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT
      return "certificat auto-signé";
    case 19:  // X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN
      return "chaîne de certificats signée par une autorité auto-signée inconnue";
    default:
      return nullptr;
  }
}

const char* MultiReason(int curlm_code) {
  switch (static_cast<CURLMcode>(curlm_code)) {
    case CURLM_OUT_OF_MEMORY:
      return "mémoire insuffisante";
    case CURLM_INTERNAL_ERROR:
      return "erreur interne";
    default:
      return nullptr;
  }
}

}  // namespace kalvex::ftp_text
