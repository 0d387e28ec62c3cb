#include "exports/text_rewrite.h"

#include "exports/ad_text.h"
#include "exports/text_join.h"
#include "exports/vehicle_document.h"

namespace kalvex {

namespace {

std::string ReplaceExactCase(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t copied = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, copied)) {
    out.append(text.substr(copied, at - copied));
    out.append(to);
    copied = at + from.size();
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace

std::string ApplyRewrites(std::string text, std::span<const TextRewrite> steps) {
  std::vector<TextReplacement> run;
  for (size_t i = 0; i < steps.size(); ++i) {
    const TextRewrite& step = steps[i];
    switch (step.kind) {
      case TextRewrite::Kind::kIgnoringCase:
        run.push_back({step.from, step.to});
        if (i + 1 == steps.size() || steps[i + 1].kind != TextRewrite::Kind::kIgnoringCase) {
          ReplaceAllIgnoringCaseIn(text, run);
          run.clear();
        }
        break;
      case TextRewrite::Kind::kExactCase:
        text = ReplaceExactCase(text, step.from, step.to);
        break;
      case TextRewrite::Kind::kSpans:
        text = ReplaceSpans(text, step.from, step.closing, step.to);
        break;
    }
  }
  return text;
}

std::vector<TextRewrite> VehicleRecordSetAsRoot(std::string_view root, std::string_view record) {
  return {
      Spans(RecordSetTagStart(kVehicleRecord), RecordSetTagEnd(kVehicleRecord),
            Join({"<", root, ">"})),
      IgnoringCase(Join({"</", RecordSetName(kVehicleRecord), ">"}), Join({"</", root, ">"})),
      IgnoringCase(Join({"<", kVehicleRecord, ">"}), Join({"<", record, ">"})),
      IgnoringCase(Join({"</", kVehicleRecord, ">"}), Join({"</", record, ">"})),
      IgnoringCase("<document>", ""),
      IgnoringCase("</document>", ""),
      IgnoringCase(kPlainDeclaration, kIso885915Declaration),
  };
}

std::vector<TextRewrite> PhotoSlotsAsList(const PhotoSlots& slots, std::string_view list,
                                          std::string_view item) {
  const std::string open_item = Join({"<", item, ">"});
  const std::string close_item = Join({"</", item, ">"});
  std::vector<TextRewrite> steps;
  for (size_t i = 0; i + 1 < slots.size(); ++i)
    steps.push_back(IgnoringCase(Join({"</", slots[i], ">"}), close_item));
  steps.push_back(
      IgnoringCase(Join({"</", slots.back(), ">"}), Join({close_item, "</", list, ">"})));
  steps.push_back(IgnoringCase(Join({"<", slots.front(), ">"}), Join({"<", list, ">", open_item})));
  for (size_t i = 1; i < slots.size(); ++i)
    steps.push_back(IgnoringCase(Join({"<", slots[i], ">"}), open_item));
  steps.push_back(IgnoringCase(open_item + close_item, ""));
  return steps;
}

std::string EscapeXmlAttribute(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void Append(std::vector<TextRewrite>& steps, std::vector<TextRewrite> more) {
  for (TextRewrite& step : more) steps.push_back(std::move(step));
}

}  // namespace kalvex
