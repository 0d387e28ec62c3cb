// The work an export run cannot leave out, done as directly as libxml2 and the system
// allow, and timed: the second floor the end-to-end benchmark compares each exporter
// with. The benchmark learns from a run of the exporter which documents it parsed and
// saved and how many log lines and file checks it made, and has this program do the
// same work:
//
//   kalvex_work_floor --scratch DIR [--parse FILE]... [--save FILE]...
//                     [--log-lines N] [--missing N]
//
//   --parse FILE   parses FILE as the tool loads its documents (blank text dropped)
//   --save FILE    serialises FILE's tree (parsed beforehand, not timed) into DIR
//   --log-lines N  appends N lines to a log file in DIR, opening and closing it each time
//   --missing N    asks N times whether a file that is not there exists
//
// Prints the seconds the timed work took. Only the library calls and system calls are
// timed; reading the arguments and freeing trees are not.
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "kalvex_work_floor: %s\n", what.c_str());
  std::exit(1);
}

xmlDoc* Parse(const char* file) {
  xmlDoc* doc = xmlReadFile(file, nullptr, XML_PARSE_NOBLANKS | XML_PARSE_HUGE);
  if (doc == nullptr) Fail(std::string("cannot parse ") + file);
  return doc;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scratch;
  for (int i = 1; i + 1 < argc; i += 2)
    if (std::strcmp(argv[i], "--scratch") == 0) scratch = argv[i + 1];
  if (scratch.empty() || argc % 2 == 0) Fail("usage: --scratch DIR [--parse F] [--save F] ...");
  const std::string saved = scratch + "/work_floor.xml";
  const std::string log = scratch + "/work_floor.log";
  const std::string absent = scratch + "/work_floor-absent.jpg";
  const std::string line = "10/12/26 07:00:00 - Pb Existence : vo100001_1m.jpg\r\n";

  Clock::duration timed{};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const char* value = argv[i + 1];
    if (option == "--scratch") continue;
    if (option == "--parse") {
      const Clock::time_point start = Clock::now();
      xmlDoc* doc = Parse(value);
      timed += Clock::now() - start;
      xmlFreeDoc(doc);
    } else if (option == "--save") {
      xmlDoc* doc = Parse(value);
      const Clock::time_point start = Clock::now();
      if (xmlSaveFile(saved.c_str(), doc) < 0) Fail("cannot save " + saved);
      timed += Clock::now() - start;
      xmlFreeDoc(doc);
    } else if (option == "--log-lines") {
      const long count = std::atol(value);
      const int created = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (created < 0 || ::close(created) != 0) Fail("cannot create " + log);
      const Clock::time_point start = Clock::now();
      for (long n = 0; n < count; ++n) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
        if (fd < 0 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
            ::close(fd) != 0)
          Fail("cannot append to " + log);
      }
      timed += Clock::now() - start;
    } else if (option == "--missing") {
      const long count = std::atol(value);
      struct stat st;
      const Clock::time_point start = Clock::now();
      for (long n = 0; n < count; ++n)
        if (::stat(absent.c_str(), &st) == 0) Fail(absent + " exists");
      timed += Clock::now() - start;
    } else {
      Fail("unknown option " + option);
    }
  }
  ::unlink(saved.c_str());
  ::unlink(log.c_str());
  std::printf("%.3f\n", std::chrono::duration<double>(timed).count());
  return 0;
}
