// The run report: what one export run did, for the scheduler that started it. The
// driver resets it at the start of every run; the export frame notes the document, the
// output files and the upload, the FTP sessions note the servers they contact, and the
// front end adds the times, the exit status and the error, then writes it as JSON
// (WriteRunReport) when the run is over, whatever its end. No password is ever part
// of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvex {

// An output file as the run left it: native path, size in bytes and SHA-256 (lower-case
// hex); size and digest are empty when the file is no longer there to read.
struct ReportedFile {
  std::string path;
  std::optional<int64_t> size;
  std::string sha256;
};

// An FTP server the run tried to reach: its role ("images" for the image server,
// "portail" for the portal drop), host, port, login name, and whether the login worked.
struct ReportedServer {
  std::string role;
  std::string host;
  long port = 21;
  std::string user;
  bool connected = false;
};

struct RunReport {
  static constexpr int kFormatVersion = 1;

  std::optional<std::string> option;  // the portal argument as given; none for a syntax error
  std::string portal;                 // recognised portal code, empty otherwise
  std::string start_time;             // ISO 8601 local time with offset
  std::string end_time;
  int exit_status = 0;
  std::string error;  // empty when the run ended normally

  std::string document;         // native path of the vehicle data document, once the run read it
  bool counters_known = false;  // the document was loaded: the counters below are the run's
  int32_t vehicles = 0;
  int32_t photos = 0;
  int32_t updates = 0;  // photos and thumbnails that reached the image server
  // Photos and thumbnails that should have gone to the image server and did not
  // (refused, failed, server given up), by file name, in the order tried.
  std::vector<std::string> photos_not_sent;

  // Native paths of the files the run wrote, in the order first written, once each;
  // described (size, digest) by DescribeOutputFiles at the end of the run.
  std::vector<std::string> output_paths;
  std::vector<ReportedFile> files;

  bool upload_attempted = false;
  std::string upload_result;  // one of the SendExportFile result texts
  std::string remote_name;    // the name the file was sent under

  std::vector<ReportedServer> servers;

  void NoteOutputFile(const std::string& native_path);
  // One entry per role; a later contact of the same role keeps the first one's address
  // and marks it connected once any login worked.
  void NoteServer(const ReportedServer& server);
  // Fills files from output_paths as the files stand now.
  void DescribeOutputFiles();
};

// Local time now, "2026-12-09T14:05:07+01:00".
std::string IsoLocalTimeNow();

// The report as a JSON object (UTF-8, two-space indented, ending with a line break).
std::string RunReportJson(const RunReport& report);

// Writes the JSON of the report to native_path through a temporary file in the same
// folder renamed over it, never through a link at that name. Only a regular file or a
// link at that name is replaced: a FIFO, a device, a socket or a folder is left as it is
// and refused with an Error saying what it is. Throws IoError when the file cannot be
// written.
void WriteRunReport(const std::string& native_path, const RunReport& report);

}  // namespace kalvex
