// What the text rewrite of an XML portal file needs of the vehicle records. The rewrite
// removes the span of fields from one marker element through another by searching the
// serialised text, and turns the photo slots into a photo list by renaming their tags:
// a vehicle record that departs from that shape would have its span run into the next
// vehicle (a lost vehicle), or keep the private fields of the span in the published
// file. Such a document is refused before any output is written.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "exports/text_rewrite.h"
#include "exports/vehicle_document.h"
#include "platform/error.h"
#include "xml/xml_cursor.h"

namespace kalvex {

struct RewriteShape {
  std::string_view vehicle_key;             // the field that names a vehicle in messages
  std::string_view span_opening;            // first field of the removed span
  std::string_view span_closing;            // last field of the removed span
  const PhotoSlots* photo_slots = nullptr;  // slots whose tags the rewrite renames
};

// The rewrite step that removes each vehicle's span: from the start tag "<" +
// span_opening + ">" through the next end tag "</" + span_closing + ">".
TextRewrite SpanRemoval(const RewriteShape& shape);

// Raises Error "Export refusé, <document> : <what is wrong>" naming the first vehicle
// (by its key field) that lacks a span marker or a photo slot, holds the span markers
// in the other order, or holds its six slots apart or out of order; also when a span
// marker stands outside the vehicle records, or when the vehicle record set lacks the
// EOF ... RecordName="DataVO" attributes the rewrite matches. Empty lists and an empty
// stock pass.
void CheckRewriteShape(IXMLCursor& document, const RewriteShape& shape,
                       std::string_view document_name);

// Refuses (same message form) a document in which a record set of `record` lacks the
// EOF="…" first and RecordName="<record>" last attributes that the rewrite's spans match.
void CheckRecordSetShape(IXMLCursor& document, std::string_view record,
                         std::string_view document_name);

// Refuses (same message form) a document whose root element `document` holds anything
// but one vehicle record set DataVOS, at most one each of `also_kept` (a portal's own
// record sets, which its rewrite turns into part of the file) and of the elements removed
// before output (LiensImagesS, LiensEquipementsS, Aliases), comments and processing
// instructions. The rewrite drops the root's tags: anything else there would stand
// beside the portal file's root and leave a text that is not XML. Names are matched as
// the XPath name test finds them (no namespace). Runs right after the load: nothing the
// export does changes the root's children before the rewrite.
void CheckTopLevel(IXMLCursor& document, std::initializer_list<std::string_view> also_kept,
                   std::string_view document_name);

// The refusal of a document whose shape the rewrite cannot take: an Error whose message
// is "Export refusé, " + document name + " : " + what + ".".
[[noreturn]] void RefuseDocument(std::string_view document_name, std::string_view what);

}  // namespace kalvex
