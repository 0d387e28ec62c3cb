#include "runcontrol/run_report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>
#include <iterator>

#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/file_digest.h"
#include "platform/platform.h"
#include "runcontrol/runcontrol_texts.h"

namespace kalvex {

void RunReport::NoteOutputFile(const std::string& native_path) {
  if (std::find(output_paths.begin(), output_paths.end(), native_path) == output_paths.end())
    output_paths.push_back(native_path);
}

void RunReport::NoteServer(const ReportedServer& server) {
  for (ReportedServer& known : servers) {
    if (known.role != server.role) continue;
    known.connected = known.connected || server.connected;
    return;
  }
  servers.push_back(server);
}

void RunReport::DescribeOutputFiles() {
  files.clear();
  for (const std::string& path : output_paths) {
    ReportedFile file{path, std::nullopt, ""};
    int64_t size = 0;
    if (platform::FileSha256(path, file.sha256, size)) file.size = size;
    files.push_back(std::move(file));
  }
}

std::string IsoLocalTimeNow() {
  const std::tm now = platform::LocalTimeNow();
  char buffer[64];
  const size_t n = std::strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%S%z", &now);
  std::string text(buffer, n);
  // strftime gives the offset as +hhmm; ISO 8601's extended form is +hh:mm.
  if (text.size() >= 5 && (text[text.size() - 5] == '+' || text[text.size() - 5] == '-'))
    text.insert(text.size() - 2, 1, ':');
  return text;
}

namespace {

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none: a
// sequence is valid whole and never in part, so the first valid prefix is it.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  for (size_t length = 1; length <= 4 && i + length <= text.size(); ++length)
    if (IsValidUtf8(std::string_view(text).substr(i, length))) return length;
  return 0;
}

// UTF-8 kept; a byte that starts no well-formed sequence is read as Windows-1252 (a
// path or a server text in the old 8-bit code page).
std::string AsUtf8(const std::string& raw) {
  if (IsValidUtf8(raw)) return raw;
  std::string text;
  for (size_t i = 0; i < raw.size();) {
    const size_t length = Utf8SequenceLength(raw, i);
    text += length > 0 ? raw.substr(i, length) : Utf8OrWindows1252(raw.substr(i, 1));
    i += length > 0 ? length : 1;
  }
  return text;
}

using Json = nlohmann::ordered_json;

// A text as a JSON string value, never throwing: AsUtf8 leaves no ill-formed sequence
// for the library to refuse.
Json Text(const std::string& raw) { return AsUtf8(raw); }
Json TextOrNull(const std::string& raw) { return raw.empty() ? Json() : Text(raw); }

// One value on one line, a blank after each colon and comma: {"a": 1, "b": [2, 3]}.
std::string OneLine(const Json& value) {
  if (!value.is_object() && !value.is_array())
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
  std::string line;
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (!line.empty()) line += ", ";
    if (value.is_object()) line += OneLine(it.key()) + ": ";
    line += OneLine(*it);
  }
  return value.is_object() ? "{" + line + "}" : "[" + line + "]";
}

// The document with the report's fields in their order.
Json RunReportDocument(const RunReport& r) {
  Json files = Json::array();
  for (const ReportedFile& f : r.files)
    files.push_back({{"chemin", Text(f.path)},
                     {"taille", f.size ? Json(*f.size) : Json()},
                     {"sha256", TextOrNull(f.sha256)}});
  Json servers = Json::array();
  for (const ReportedServer& s : r.servers)
    servers.push_back({{"role", Text(s.role)},
                       {"hote", Text(s.host)},
                       {"port", s.port},
                       {"utilisateur", Text(s.user)},
                       {"connecte", s.connected}});
  Json not_sent = Json::array();
  for (const std::string& name : r.photos_not_sent) not_sent.push_back(Text(name));
  Json document;
  document["version_rapport"] = RunReport::kFormatVersion;
  document["option"] = r.option ? Text(*r.option) : Json();
  document["portail"] = TextOrNull(r.portal);
  document["debut"] = TextOrNull(r.start_time);
  document["fin"] = TextOrNull(r.end_time);
  document["code_sortie"] = r.exit_status;
  document["erreur"] = TextOrNull(r.error);
  document["document"] = TextOrNull(r.document);
  document["compteurs"] = r.counters_known ? Json{{"vehicules", r.vehicles},
                                                  {"photos", r.photos},
                                                  {"photos_mises_a_jour", r.updates}}
                                           : Json();
  document["photos_non_envoyees"] = std::move(not_sent);
  document["fichiers"] = std::move(files);
  document["transfert"] = r.upload_attempted ? Json{{"resultat", Text(r.upload_result)},
                                                    {"nom_distant", Text(r.remote_name)}}
                                             : Json();
  document["serveurs"] = std::move(servers);
  return document;
}

}  // namespace

std::string RunReportJson(const RunReport& report) {
  // One field a line; a list of objects (files, servers) one object a line.
  const Json document = RunReportDocument(report);
  std::string j = "{\n";
  for (auto it = document.begin(); it != document.end(); ++it) {
    j += "  " + OneLine(it.key()) + ": ";
    if (it->is_array() && !it->empty() && it->front().is_object()) {
      std::string items;
      for (const Json& item : *it) items += (items.empty() ? "\n    " : ",\n    ") + OneLine(item);
      j += "[" + items + "\n  ]";
    } else {
      j += OneLine(*it);
    }
    j += std::next(it) == document.end() ? "\n" : ",\n";
  }
  return j + "}\n";
}

void WriteRunReport(const std::string& native_path, const RunReport& report) {
  const std::string json = RunReportJson(report);
  // Renamed over whatever stands there: only a file or a link may be replaced, never a
  // FIFO, a device (/dev/stdout, /dev/full), a socket or a folder.
  const char* kind = nullptr;
  switch (platform::KindAt(native_path)) {
    case platform::PathKind::kNothing:
    case platform::PathKind::kRegularFile:
    case platform::PathKind::kLink:
      break;
    case platform::PathKind::kFolder:
      kind = runcontrol_text::kFolderKind;
      break;
    case platform::PathKind::kFifo:
      kind = runcontrol_text::kFifoKind;
      break;
    case platform::PathKind::kDevice:
      kind = runcontrol_text::kDeviceKind;
      break;
    case platform::PathKind::kSocket:
      kind = runcontrol_text::kSocketKind;
      break;
    case platform::PathKind::kOther:
      kind = runcontrol_text::kSpecialFileKind;
      break;
  }
  if (kind != nullptr) throw Error(runcontrol_text::ReportPathRefused(kind));
  platform::WriteFileAtomically(native_path, json);
}

}  // namespace kalvex
