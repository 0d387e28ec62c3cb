// The exporters and the portals they serve: the run driver's dispatch table. An exporter
// joins by one line of the table in exporters.cpp, with its portal's code and name.
#pragma once

#include <span>

#include "exports/export_run.h"
#include "runcontrol/run_driver.h"

namespace kalvex {

using ExportBody = void (*)(ExportRun& run);

struct PortalExporter {
  Portal portal;
  ExportBody body;
};

// Every exporter built so far, in the driver's portal order.
std::span<const PortalExporter> Exporters();

// Joins every exporter to the driver's table: the driver's call for a portal code runs
// the exporter's body in a new ExportRun of that portal, with these services.
void RegisterExporters(RunDriver& driver, const ExportServices& services = {});

}  // namespace kalvex
