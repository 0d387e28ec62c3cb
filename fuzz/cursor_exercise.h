// Walks a loaded document the way the exporters do, and checks that what the cursor
// serialises parses again into the same text.
#pragma once

#include <cstdlib>
#include <string>

#include "exports/vehicle_document.h"
#include "xml/xml_cursor.h"

namespace kalvex::fuzz {

inline void ExerciseCursor(const XMLCursorPtr& document) {
  try {
    for (const char* xpath : {kVehiclesXPath, kPhotoLinksXPath, "*", "//*", "/document/*"}) {
      XMLCursorPtr records = document->Select(xpath);
      for (int i = 0; records && !records->Eof() && i < 64; ++i, records->Next()) {
        (void)records->GetValue("idNVO");
        (void)records->GetValue(".");
        (void)records->NodeName();
        (void)records->XML();
        records->SetValue("NomPhoto1", "http://127.0.0.1/p.jpg");
      }
    }
    for (const char* set : {kPhotoLinkSetXPath, kEquipmentLabelSetXPath, kAliasesXPath}) {
      XMLCursorPtr found = document->Select(set);
      if (!found->Eof()) found->Delete();
    }
  } catch (const Error&) {
    // Errors of the DOM (a name that is no element name, say) are the cursor's answers.
  }
  const std::string text = document->XML();
  if (text.empty()) return;
  // What the cursor writes, it reads back, unchanged.
  XMLCursorPtr again = CreateXMLCursor();
  try {
    again->LoadXML(text);
  } catch (const Error& e) {
    std::fprintf(stderr, "serialised text does not parse again: %s\n%s\n", e.what(), text.c_str());
    std::abort();
  }
  if (again->XML() != text) {
    std::fprintf(stderr, "text changed on the way back:\n%s\n---\n%s\n", text.c_str(),
                 again->XML().c_str());
    std::abort();
  }
}

}  // namespace kalvex::fuzz
