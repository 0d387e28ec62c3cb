// What the end-to-end tests share: a temporary folder holding the dealer's Windir, a
// photo folder and a copy of the built kalvex executable with its Kalvex.ini; a run of
// the executable as a scheduler runs it (console, one portal argument, no display); and
// readers of what a run leaves (folder listings, run-log lines, archive contents).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp_server_fixture.h"
#include "test_support.h"
#include "test_system.h"

namespace kalvex::testing {

struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class EndToEndTest : public ::testing::Test {
 protected:
  std::string Windir() const { return dir_.path() + "/windows"; }
  std::string WorkingFolder() const { return Windir() + "/TEMP/Kalvex"; }
  std::string Photos() const { return dir_.path() + "/photos"; }
  // The run log of a portal code.
  std::string RunLog(const std::string& portal_code) const;

  // A distinct small file per photo, so every transfer can be checked byte for byte.
  static void WritePhoto(const std::string& folder, const std::string& file);

  // Runs the executable with Kalvex.ini beside it, in console mode, with the test's
  // Windir and without display; standard output and error are captured. A run is
  // bounded at two minutes (exit code 124 beyond). `environment` adds NAME='value'
  // settings of its own.
  RunResult RunKalvex(const std::string& ini, const std::string& portal,
                      const std::string& environment = "");

  // Starts the executable the same way without waiting for it (Windir unset when
  // windir is nullptr), with `options` before the portal; its output goes to
  // dir/out-<tag> and dir/err-<tag>. A copy already running is started again rather
  // than overwritten.
  Process Launch(const std::string& ini, const std::string& portal, const std::string& tag,
                 const char* windir, const std::vector<std::string>& options = {});
  // Waits for a started run to end.
  RunResult Wait(Process& run, const std::string& tag);
  RunResult Wait(Process&& run, const std::string& tag) { return Wait(run, tag); }

  // The [Options] and [Pixtrove] sections for a run against the image server, and a
  // portal section with its server, user and password, then `switches` (CR LF lines).
  std::string Ini(const FtpTestServer& images, const std::string& section,
                  const std::string& drop_host, const std::string& drop_user,
                  const std::string& drop_password, const std::string& switches) const;

  // An image server with its www/pixtrove folder, and a portal drop account.
  static FtpServerOptions ImageServerOptions();
  static FtpServerOptions DropOptions(const std::string& user, const std::string& password);

  // Names in a folder, sorted.
  static std::vector<std::string> Names(const std::string& folder);
  // UTF-8 text of Latin-1 letters and "€" in ISO-8859-15, as the back office writes it.
  static std::string Latin9(const std::string& utf8);

  // `unzip -t` of an archive: true when every entry tests OK.
  static bool UnzipTestsOk(const std::string& archive);
  // The entry names of an archive as `zipinfo -1` lists them.
  static std::vector<std::string> ArchiveEntries(const std::string& archive);
  // The bytes of one entry, as `unzip -p` gives them.
  static std::string ArchiveEntry(const std::string& archive, const std::string& entry);

  TempDir dir_;
};

}  // namespace kalvex::testing
