// LoadXML of any text, then the exporters' walk over what it gave.
#include "cursor_exercise.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kalvex::XMLCursorPtr cursor = kalvex::CreateXMLCursor();
  try {
    cursor->LoadXML(kalvex::fuzz::Bytes(data, size));
  } catch (const kalvex::XMLException&) {
    return 0;
  }
  kalvex::fuzz::ExerciseCursor(cursor);
  return 0;
}
