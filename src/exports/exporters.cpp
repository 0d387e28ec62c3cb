#include "exports/exporters.h"

#include "exports/paru_vendu_export.h"

namespace kalvex {

void RegisterExporters(RunDriver& driver) {
  driver.SetExporter("PARUVENDU", [](RunContext& context) { ExportParuVendu(context); });
}

}  // namespace kalvex
