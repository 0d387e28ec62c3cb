#include "exports/rewrite_shape.h"

#include <optional>
#include <vector>

#include "exports/export_texts.h"
#include "exports/text_join.h"
#include "xml/xml_shape.h"

namespace kalvex {

namespace {

bool Holds(const std::vector<std::string>& names, std::string_view name) {
  for (const std::string& n : names)
    if (n == name) return true;
  return false;
}

// True when, scanning the text as ReplaceSpans does, every opening marker finds its
// closing marker inside the text.
bool SpansCloseInside(std::string_view text, std::string_view opening, std::string_view closing) {
  size_t from = 0;
  while (true) {
    const size_t open_at = text.find(opening, from);
    if (open_at == std::string_view::npos) return true;
    const size_t close_at = text.find(closing, open_at + opening.size());
    if (close_at == std::string_view::npos) return false;
    from = close_at + closing.size();
  }
}

void CheckMarkersOutsideVehicles(IXMLCursor& document, const RewriteShape& shape,
                                 std::string_view document_name) {
  // A marker anywhere but among a vehicle record's fields, first in document order. An
  // element of a default namespace counts: its tag reads the same in the text.
  const std::string set = RecordSetName(kVehicleRecord);
  const std::optional<std::string> stray = FirstElementOutside(
      document, {shape.span_opening, shape.span_closing}, {"document", set, kVehicleRecord});
  if (stray) RefuseDocument(document_name, export_text::StrayMarker(*stray));
}

void CheckPhotoSlots(const std::vector<std::string>& names, const PhotoSlots& slots,
                     const std::string& vehicle, std::string_view document_name) {
  for (const char* slot : slots)
    if (!Holds(names, slot))
      RefuseDocument(document_name, export_text::MissingElement(vehicle, slot));
  size_t first = 0;
  while (names[first] != slots[0]) ++first;
  bool together = first + slots.size() <= names.size();
  for (size_t i = 0; together && i < slots.size(); ++i) together = names[first + i] == slots[i];
  if (!together)
    RefuseDocument(document_name, export_text::SlotsApart(vehicle, slots.front(), slots.back()));
}

}  // namespace

TextRewrite SpanRemoval(const RewriteShape& shape) {
  return Spans(Join({"<", shape.span_opening, ">"}), Join({"</", shape.span_closing, ">"}), "");
}

void RefuseDocument(std::string_view document_name, std::string_view what) {
  throw Error(export_text::DocumentRefused(document_name, what));
}

void CheckRecordSetShape(IXMLCursor& document, std::string_view record,
                         std::string_view document_name) {
  const std::string set = RecordSetName(record);
  for (XMLCursorPtr sets = document.Select(Join({"/document/", set})); !sets->Eof(); sets->Next()) {
    XMLCursorPtr attributes = sets->Select("@*");
    bool shaped = attributes->Count() >= 2 && attributes->NodeName() == "EOF";
    if (shaped) {
      attributes->Last();
      shaped = attributes->NodeName() == "RecordName" && attributes->GetValue(".") == record;
    }
    if (!shaped) RefuseDocument(document_name, export_text::RecordSetUnshaped(set, record));
  }
}

void CheckTopLevel(IXMLCursor& document, std::initializer_list<std::string_view> also_kept,
                   std::string_view document_name) {
  const XMLTopLevel top = TopLevelOf(document);
  if (!top.root) return;  // a load gives a root or fails
  if (!top.root->FoundBy("document"))
    RefuseDocument(document_name, export_text::RootNotDocument(top.root->name));

  const std::string vehicles = RecordSetName(kVehicleRecord);
  std::vector<std::string_view> allowed{vehicles};
  allowed.insert(allowed.end(), also_kept.begin(), also_kept.end());
  for (const char* xpath : kRemovedBeforeOutputXPaths)
    allowed.push_back(std::string_view(xpath).substr(std::string_view("/document/").size()));
  std::vector<bool> seen(allowed.size(), false);
  for (const std::optional<XMLElementName>& child : top.children) {
    if (!child) RefuseDocument(document_name, export_text::kTextUnderRoot);
    size_t i = 0;
    while (i < allowed.size() && !child->FoundBy(allowed[i])) ++i;
    if (i == allowed.size())
      RefuseDocument(document_name,
                     export_text::SetNotAllowed(child->name, export_text::NameList(allowed)));
    // Only the first of each is turned into the file or removed: a second stays behind.
    if (seen[i]) RefuseDocument(document_name, export_text::SetTwice(allowed[i]));
    seen[i] = true;
  }
  if (!seen[0]) RefuseDocument(document_name, export_text::SetMissing(vehicles));
}

void CheckRewriteShape(IXMLCursor& document, const RewriteShape& shape,
                       std::string_view document_name) {
  CheckRecordSetShape(document, kVehicleRecord, document_name);
  CheckMarkersOutsideVehicles(document, shape, document_name);

  // The markers exactly as the rewrite searches them.
  const TextRewrite span = SpanRemoval(shape);
  const std::string& opening = span.from;
  const std::string& closing = span.closing;
  const std::string key(shape.vehicle_key);
  for (XMLCursorPtr vehicles = document.Select(kVehiclesXPath); !vehicles->Eof();
       vehicles->Next()) {
    const std::string vehicle = export_text::Vehicle(shape.vehicle_key, vehicles->GetValue(key));
    const std::vector<std::string> names = ChildElementNames(*vehicles);
    for (std::string_view marker : {shape.span_opening, shape.span_closing})
      if (!Holds(names, marker))
        RefuseDocument(document_name, export_text::MissingElement(vehicle, marker));
    // The tags as the record's text holds them: from the tree, or from the text itself
    // when the record holds text that is written as it is (a section, a comment).
    XMLSpanTags tags = SpanTagsOf(*vehicles, shape.span_opening, shape.span_closing);
    if (!tags.known) {
      const std::string text = vehicles->XML();
      tags.has_start = text.find(opening) != std::string::npos;
      tags.start_after_end = !SpansCloseInside(text, opening, closing);
    }
    if (!tags.has_start)
      RefuseDocument(document_name, export_text::MarkerWithAttributes(vehicle, shape.span_opening));
    if (tags.start_after_end)
      RefuseDocument(document_name, export_text::MarkersOutOfOrder(vehicle, shape.span_opening,
                                                                   shape.span_closing));
    if (shape.photo_slots) CheckPhotoSlots(names, *shape.photo_slots, vehicle, document_name);
  }
}

}  // namespace kalvex
