// Passive mode and TLS against the real test server, which (with TLS) requires AUTH TLS
// before the login and PROT P before any data connection: an upload that arrives went
// over an encrypted data connection.
#include "ftp/ftp_security.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "ftp/ftp_test_harness.h"
#include "test_certificates.h"

namespace kalvex {
namespace {

using testing::CertificateAndKey;
using testing::Certificates;
using ::testing::EndsWith;
using testing::FtpHarness;
using testing::FtpServerOptions;
using testing::FtpTestServer;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFile;
using ::testing::StartsWith;
using testing::WriteFile;

enum class ServerCertificate { kNone, kSignedByTestCa, kOtherAddress, kSelfSigned };

FtpServerOptions ServerWith(ServerCertificate certificate) {
  FtpServerOptions options;
  options.folders = {"www/pixtrove", "depot"};
  const CertificateAndKey* pair = nullptr;
  switch (certificate) {
    case ServerCertificate::kNone:
      break;
    case ServerCertificate::kSignedByTestCa:
      pair = &Certificates().server;
      break;
    case ServerCertificate::kOtherAddress:
      pair = &Certificates().other_address;
      break;
    case ServerCertificate::kSelfSigned:
      pair = &Certificates().self_signed;
      break;
  }
  if (pair != nullptr) {
    options.tls_certificate = pair->certificate;
    options.tls_key = pair->key;
  }
  return options;
}

// One server serving as image server (www/pixtrove) and portal drop (depot), both
// sessions set up with the same security, the image-server check on.
struct SecureServers {
  SecureServers(ServerCertificate certificate, const FtpSecurity& security)
      : options(ServerWith(certificate)), server(options) {
    h.PointImageServerAt(server.HostField(), options, "www/pixtrove");
    h.PointPortalDropAt(server.HostField(), options, "depot");
    h.link.SetSecurity(FtpServer::kImages, security);
    h.link.SetSecurity(FtpServer::kPortal, security);
    h.ftp.SetImageServerCheck(true);
  }
  FtpServerOptions options;
  FtpTestServer server;
  FtpHarness h;
};

// ---- Uploads in every mode ----

struct TransferCase {
  const char* name;
  bool passive;
  TlsMode tls;
  ServerCertificate certificate;
  bool trust_test_ca;
};

void PrintTo(const TransferCase& c, std::ostream* out) { *out << c.name; }

class SecureTransferTest : public ::testing::TestWithParam<TransferCase> {};

TEST_P(SecureTransferTest, PhotosAndPortalFileArriveOverTheChosenConnections) {
  const TransferCase& c = GetParam();
  SecureServers s(c.certificate, {c.passive, c.tls, c.trust_test_ca ? Certificates().ca : ""});
  FtpTestServer& server = s.server;
  FtpHarness& h = s.h;
  WriteFile(server.Home() + "/www/pixtrove/p0.jpg", "on the server");

  // The image server: one listing, two photos; the portal drop: the export file.
  std::string photo;
  for (int i = 0; i < 50000; ++i) photo += static_cast<char>((i * 13) % 256);
  WriteFile(h.Windir() + "/p1.jpg", photo);
  WriteFile(h.Windir() + "/p1m.jpg", photo.substr(0, 999));
  WriteFile(h.Windir() + "/a.xml", std::string(200000, 'v'));
  EXPECT_TRUE(h.ftp.ImageOnServer("P0.JPG"));
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  h.ftp.SendImage(h.Windir() + "\\p1.jpg");
  h.ftp.SendImage(h.Windir() + "\\p1m.jpg");
  std::string result;
  h.ftp.SendExportFile(h.Windir() + "\\a.xml", result);

  EXPECT_EQ(result, "Transfert FTP OK : ") << h.MemoText();
  EXPECT_EQ(ReadFile(server.Home() + "/www/pixtrove/p1.jpg"), photo);
  EXPECT_EQ(ReadFile(server.Home() + "/www/pixtrove/p1m.jpg"), photo.substr(0, 999));
  EXPECT_EQ(ReadFile(server.Home() + "/depot/a.xml"), std::string(200000, 'v'));

  const std::vector<std::string> commands = server.Commands();
  EXPECT_EQ(server.CountCommand("USER"), 2);  // one login per session
  if (c.tls != TlsMode::kOff) {
    // Every login came after the handshake, every data connection was protected.
    EXPECT_EQ(commands.front(), "AUTH TLS");
    EXPECT_EQ(server.CountCommand("AUTH TLS"), 2);
    EXPECT_EQ(server.CountCommand("PROT P"), 2);
    for (size_t i = 0; i < commands.size(); ++i)
      if (commands[i].rfind("USER ", 0) == 0) {
        EXPECT_EQ(commands[i - 1], "AUTH TLS");
      }
    EXPECT_EQ(h.MemoLinesWith("Négociation TLS (AUTH TLS)."), 2);
    EXPECT_EQ(h.MemoLinesWith("TLS négocié"), 2);
    EXPECT_EQ(h.MemoLinesWith("Connexions de données chiffrées (PROT P)."), 2);
  } else {
    EXPECT_EQ(server.CountCommand("AUTH") + server.CountCommand("PROT"), 0);
    EXPECT_EQ(h.MemoLinesWith("TLS"), 0);
  }
  // The warning of an unchecked certificate: once per session, however many operations.
  const int warnings = c.tls == TlsMode::kUnverified ? 1 : 0;
  EXPECT_EQ(h.MemoLinesWith("n'est pas vérifié pour cette session (IdFTP1, TLS=2)"), warnings);
  EXPECT_EQ(h.MemoLinesWith("n'est pas vérifié pour cette session (IdFTP2, TLS=2)"), warnings);
  if (warnings == 1) {
    EXPECT_THAT(h.MemoText(),
                HasSubstr("\nAttention : le certificat du serveur " + server.HostField() +
                          " n'est pas vérifié pour cette session (IdFTP2, TLS=2) : "
                          "la connexion est chiffrée, mais rien ne garantit que ce "
                          "soit le bon serveur.\n"));
  }

  // Passive mode: EPSV and never PORT/EPRT. Active mode: the reverse, unless TLS is on
  // with a libcurl that would send active-mode data in clear.
  const bool active_fallback = c.tls != TlsMode::kOff && !FtpSession::ActiveModeKeepsTls();
  const bool passive = c.passive || active_fallback;
  const int data_connections = 4;  // listing, two photos, the portal file
  if (passive) {
    EXPECT_EQ(server.CountCommand("EPSV"), data_connections);
    EXPECT_EQ(server.CountCommand("PORT") + server.CountCommand("EPRT"), 0);
    EXPECT_EQ(h.MemoLinesWith("Connexion de données en mode passif (EPSV)."), data_connections);
  } else {
    EXPECT_EQ(server.CountCommand("PORT") + server.CountCommand("EPRT"), data_connections);
    EXPECT_EQ(server.CountCommand("EPSV") + server.CountCommand("PASV"), 0);
  }
  EXPECT_EQ(h.MemoLinesWith("Mode actif impossible avec TLS"),
            !c.passive && active_fallback ? 2 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SecureTransferTest,
    ::testing::Values(
        TransferCase{"PlainActive", false, TlsMode::kOff, ServerCertificate::kNone, false},
        TransferCase{"PlainPassive", true, TlsMode::kOff, ServerCertificate::kNone, false},
        TransferCase{"VerifiedActive", false, TlsMode::kVerified,
                     ServerCertificate::kSignedByTestCa, true},
        TransferCase{"VerifiedPassive", true, TlsMode::kVerified,
                     ServerCertificate::kSignedByTestCa, true},
        TransferCase{"SelfSignedUnverifiedActive", false, TlsMode::kUnverified,
                     ServerCertificate::kSelfSigned, false},
        TransferCase{"SelfSignedUnverifiedPassive", true, TlsMode::kUnverified,
                     ServerCertificate::kSelfSigned, false}),
    [](const ::testing::TestParamInfo<TransferCase>& info) { return info.param.name; });

// ---- TLS that cannot be set up: no login, a clear message ----

struct RefusalCase {
  const char* name;
  TlsMode tls;
  ServerCertificate certificate;
  bool trust_test_ca;
  const char* reason;  // after "FTP IdFTP2 (host:port) : "
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class TlsRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TlsRefusalTest, EndsLikeAFailedConnectionWithoutSendingTheLogin) {
  const RefusalCase& c = GetParam();
  SecureServers s(c.certificate, {true, c.tls, c.trust_test_ca ? Certificates().ca : ""});
  FtpTestServer& server = s.server;
  FtpHarness& h = s.h;
  WriteFile(h.Windir() + "/a.xml", "<a/>");

  try {
    h.ftp.IdFTP2().Connect();
    FAIL() << "connected";
  } catch (const FtpError& error) {
    EXPECT_EQ(error.stage(), FtpError::Stage::kConnect);
    EXPECT_THAT(error.what(), StartsWith("FTP IdFTP2 (" + server.HostField() + ") : " + c.reason));
    EXPECT_THAT(error.what(),
                EndsWith(" ; connexion abandonnée, identifiant et mot de passe non envoyés"));
    EXPECT_THAT(h.MemoText(), HasSubstr("\nErreur : " + std::string(error.what()) + "\n"));
  }
  // The same answer would come every time: each session gives the server up after its
  // first attempt, so a stock of photos does not repeat the handshake and the error.
  std::string result;
  h.ftp.SendExportFile(h.Windir() + "\\a.xml", result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_FALSE(h.ftp.ImageOnServer("p1.jpg"));
  EXPECT_FALSE(h.ftp.ImageOnServer("p2.jpg"));
  EXPECT_EQ(server.CountCommand("AUTH TLS"), 2);
  EXPECT_EQ(h.MemoLinesWith("Connexion TLS impossible avec le serveur " + server.HostField() +
                            " : plus aucune tentative"),
            2);
  EXPECT_EQ(server.CountCommand("USER") + server.CountCommand("PASS"), 0);
  EXPECT_EQ(server.CountCommand("STOR") + server.CountCommand("NLST"), 0);
  EXPECT_THAT(h.MemoText(), Not(HasSubstr("Identification en tant que")));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, TlsRefusalTest,
    ::testing::Values(
        RefusalCase{"SelfSignedCertificate", TlsMode::kVerified, ServerCertificate::kSelfSigned,
                    true,
                    "le certificat du serveur 127.0.0.1 n'a pas pu être vérifié (certificat "
                    "auto-signé)"},
        RefusalCase{"TestCaNotInTheSystemStore", TlsMode::kVerified,
                    ServerCertificate::kSignedByTestCa, false,
                    "le certificat du serveur 127.0.0.1 n'a pas pu être vérifié (l'autorité qui "
                    "a signé le certificat n'est pas dans le magasin de certificats)"},
        RefusalCase{"CertificateForAnotherAddress", TlsMode::kVerified,
                    ServerCertificate::kOtherAddress, true,
                    "le certificat du serveur 127.0.0.1 n'a pas pu être vérifié (le certificat "
                    "ne porte pas le nom de ce serveur)"},
        RefusalCase{"ServerWithoutTls", TlsMode::kVerified, ServerCertificate::kNone, false,
                    "le serveur 127.0.0.1 refuse le chiffrement TLS (AUTH TLS)"},
        RefusalCase{"ServerWithoutTlsUnverified", TlsMode::kUnverified, ServerCertificate::kNone,
                    false, "le serveur 127.0.0.1 refuse le chiffrement TLS (AUTH TLS)"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// A plain session against the server that requires TLS: the server refuses the login,
// which shows that the uploads above could only have gone through encrypted.
TEST(TlsServerTest, RefusesAPlainLogin) {
  const FtpServerOptions options = ServerWith(ServerCertificate::kSignedByTestCa);
  FtpTestServer server(options);
  FtpHarness h;
  h.PointPortalDropAt(server.HostField(), options, "depot");
  WriteFile(h.Windir() + "/a.xml", "<a/>");
  std::string result;
  h.ftp.SendExportFile(h.Windir() + "\\a.xml", result);
  EXPECT_EQ(result, "Transfert FTP : Erreur Connexion au serveur. ");
  EXPECT_THAT(h.MemoText(), HasSubstr("550 SSL/TLS required on the control channel."));
  EXPECT_EQ(server.CountCommand("STOR"), 0);
}

}  // namespace
}  // namespace kalvex
