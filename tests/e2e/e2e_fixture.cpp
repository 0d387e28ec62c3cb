#include "e2e_fixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
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
    EXPECT_EQ(std::system(copy.c_str()), 0);
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
  const int status = std::system(command.c_str());
  RunResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(dir_ / "out");
  result.err = ReadFile(dir_ / "err");
  return result;
}

pid_t EndToEndTest::Launch(const std::string& ini, const std::string& portal,
                           const std::string& tag, const char* windir,
                           const std::vector<std::string>& options) {
  const std::string exe = Install(dir_.path(), ini);
  const std::string out = dir_.path() + "/out-" + tag;
  const std::string err = dir_.path() + "/err-" + tag;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    if (windir != nullptr)
      ::setenv("Windir", windir, 1);
    else
      ::unsetenv("Windir");
    if (::chdir(dir_.path().c_str()) != 0) ::_exit(126);
    const int in_fd = ::open("/dev/null", O_RDONLY);
    const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0) ::_exit(126);
    ::dup2(in_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    std::vector<const char*> argv = {exe.c_str(), "--console"};
    for (const std::string& option : options) argv.push_back(option.c_str());
    argv.push_back(portal.c_str());
    argv.push_back(nullptr);
    ::execv(exe.c_str(), const_cast<char* const*>(argv.data()));
    ::_exit(127);
  }
  return pid;
}

RunResult EndToEndTest::Wait(pid_t pid, const std::string& tag) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  RunResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
  }
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
