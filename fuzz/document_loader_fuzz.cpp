// The vehicle data document as the exporters load it: any bytes in a file, through the
// cursor's Load, then walked, edited and serialised.
#include "cursor_exercise.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kalvex::fuzz::ScratchFile file(".xml");
  kalvex::XMLCursorPtr cursor = kalvex::CreateXMLCursor();
  try {
    cursor->Load(file.Write(kalvex::fuzz::Bytes(data, size)));
  } catch (const kalvex::XMLException&) {
    return 0;
  }
  kalvex::fuzz::ExerciseCursor(cursor);
  return 0;
}
