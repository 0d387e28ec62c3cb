#include "runcontrol/run_report.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

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

// A JSON string: quotes, backslashes and control characters escaped, UTF-8 kept.
std::string Quoted(const std::string& raw) {
  const std::string text = AsUtf8(raw);
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof(escape), "\\u%04x", byte);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string OrNull(const std::string& text) { return text.empty() ? "null" : Quoted(text); }

}  // namespace

std::string RunReportJson(const RunReport& r) {
  std::string j = "{\n";
  auto field = [&j](const char* name, const std::string& value, bool last = false) {
    j += std::string("  \"") + name + "\": " + value + (last ? "\n" : ",\n");
  };
  field("version_rapport", std::to_string(RunReport::kFormatVersion));
  field("option", r.option ? Quoted(*r.option) : "null");
  field("portail", OrNull(r.portal));
  field("debut", OrNull(r.start_time));
  field("fin", OrNull(r.end_time));
  field("code_sortie", std::to_string(r.exit_status));
  field("erreur", OrNull(r.error));
  field("document", OrNull(r.document));
  field("compteurs", r.counters_known
                         ? "{\"vehicules\": " + std::to_string(r.vehicles) +
                               ", \"photos\": " + std::to_string(r.photos) +
                               ", \"photos_mises_a_jour\": " + std::to_string(r.updates) + "}"
                         : "null");
  std::string not_sent = "[";
  for (const std::string& name : r.photos_not_sent)
    not_sent += std::string(not_sent.size() > 1 ? ", " : "") + Quoted(name);
  field("photos_non_envoyees", not_sent + "]");
  std::string files = "[";
  for (const ReportedFile& f : r.files) {
    files += std::string(files.size() > 1 ? "," : "") + "\n    {\"chemin\": " + Quoted(f.path) +
             ", \"taille\": " + (f.size ? std::to_string(*f.size) : "null") +
             ", \"sha256\": " + OrNull(f.sha256) + "}";
  }
  field("fichiers", files + (r.files.empty() ? "]" : "\n  ]"));
  field("transfert", r.upload_attempted ? "{\"resultat\": " + Quoted(r.upload_result) +
                                              ", \"nom_distant\": " + Quoted(r.remote_name) + "}"
                                        : "null");
  std::string servers = "[";
  for (const ReportedServer& s : r.servers) {
    servers += std::string(servers.size() > 1 ? "," : "") + "\n    {\"role\": " + Quoted(s.role) +
               ", \"hote\": " + Quoted(s.host) + ", \"port\": " + std::to_string(s.port) +
               ", \"utilisateur\": " + Quoted(s.user) +
               ", \"connecte\": " + (s.connected ? "true" : "false") + "}";
  }
  field("serveurs", servers + (r.servers.empty() ? "]" : "\n  ]"), true);
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
