#include "e2e_fixture.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/code_page.h"

namespace kalvex::testing {

namespace {

// The built executable, copied once beside the test's Kalvex.ini: a copy already running
// is started again rather than overwritten.
std::string Install(const std::string& folder, const std::string& ini) {
  const std::string bin = folder + "/bin";
  const std::string exe = bin + "/kalvex";
  if (!PathExists(exe)) {
    const std::string copy = "mkdir -p " + ShellQuoted(bin) + " && cp " +
                             ShellQuoted(BinaryDir() + "/src/app/kalvex") + " " +
                             ShellQuoted(bin + "/");
    EXPECT_EQ(ShellCommand(copy), 0);
  }
  WriteFile(bin + "/Kalvex.ini", ini);
  return exe;
}

}  // namespace

std::string EndToEndTest::RunLog(const std::string& portal_code) const {
  return ReadFile(Windir() + "/TEMP/DadozoVavire" + portal_code + ".log");
}

void EndToEndTest::WritePhoto(const std::string& folder, const std::string& file) {
  WriteFile(folder + "/" + file, "\xFF\xD8\xFF\xE0 photo " + file + "\xFF\xD9");
}

RunResult EndToEndTest::RunKalvex(const std::string& ini, const std::string& portal,
                                  const std::string& environment) {
  const std::string exe = Install(dir_.path(), ini);
  const std::string command =
      "cd " + ShellQuoted(dir_.path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY " + environment +
      " Windir=" + ShellQuoted(Windir()) + " timeout 120 " + ShellQuoted(exe) + " --console " +
      portal + " </dev/null >" + ShellQuoted(dir_ / "out") + " 2>" + ShellQuoted(dir_ / "err");
  RunResult result;
  result.exit_code = ShellCommand(command);
  result.out = ReadFile(dir_ / "out");
  result.err = ReadFile(dir_ / "err");
  return result;
}

Process EndToEndTest::Launch(const std::string& ini, const std::string& portal,
                             const std::string& tag, const char* windir,
                             const std::vector<std::string>& options) {
  const std::string exe = Install(dir_.path(), ini);
  ProcessOptions settings;
  settings.working_folder = dir_.path();
  settings.output_file = dir_.path() + "/out-" + tag;
  settings.error_file = dir_.path() + "/err-" + tag;
  settings.environment = {{"DISPLAY", std::nullopt},
                          {"WAYLAND_DISPLAY", std::nullopt},
                          {"Windir", windir ? std::optional<std::string>(windir) : std::nullopt}};
  std::vector<std::string> argv = {exe, "--console"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(portal);
  return Process(argv, settings);
}

RunResult EndToEndTest::Wait(Process& run, const std::string& tag) {
  RunResult result;
  result.exit_code = run.Wait();
  result.out = ReadFile(dir_.path() + "/out-" + tag);
  result.err = ReadFile(dir_.path() + "/err-" + tag);
  return result;
}

std::string EndToEndTest::Ini(const FtpTestServer& images, const std::string& section,
                              const std::string& drop_host, const std::string& drop_user,
                              const std::string& drop_password, const std::string& switches) const {
  return "[Options]\r\nPathImages=" + Photos() +
         "\r\nURLImages=http://127.0.0.1/pixtrove\r\n"
         "[Pixtrove]\r\nServeurFTP=" +
         images.HostField() + "\r\nUser=" + images.options().user +
         "\r\nPassWord=" + images.options().password + "\r\nPathFTP=www/pixtrove\r\n[" + section +
         "]\r\nServeurFTP=" + drop_host + "\r\nUser=" + drop_user +
         "\r\nPassWord=" + drop_password + "\r\nPathFTP=\r\n" + switches;
}

FtpServerOptions EndToEndTest::ImageServerOptions() {
  FtpServerOptions options;
  options.folders = {"www/pixtrove"};
  return options;
}

FtpServerOptions EndToEndTest::DropOptions(const std::string& user, const std::string& password) {
  FtpServerOptions options;
  options.user = user;
  options.password = password;
  return options;
}

std::vector<std::string> EndToEndTest::Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string EndToEndTest::Latin9(const std::string& utf8) {
  return kalvex::FromUtf8(utf8, "ISO-8859-15");
}

bool EndToEndTest::UnzipTestsOk(const std::string& archive) {
  int status = -1;
  CommandOutput("unzip -t " + ShellQuoted(archive) + " 2>&1", &status);
  return status == 0;
}

std::vector<std::string> EndToEndTest::ArchiveEntries(const std::string& archive) {
  std::vector<std::string> entries;
  std::istringstream lines(CommandOutput("zipinfo -1 " + ShellQuoted(archive) + " 2>/dev/null"));
  for (std::string line; std::getline(lines, line);) entries.push_back(line);
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string EndToEndTest::ArchiveEntry(const std::string& archive, const std::string& entry) {
  return CommandOutput("unzip -p " + ShellQuoted(archive) + " " + ShellQuoted(entry) +
                       " 2>/dev/null");
}

}  // namespace kalvex::testing
