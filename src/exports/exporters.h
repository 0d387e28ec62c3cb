// The dispatch table of the run driver: which exporter serves which portal code.
#pragma once

#include "runcontrol/run_driver.h"

namespace kalvex {

// Joins every exporter built so far to the driver's table.
void RegisterExporters(RunDriver& driver);

}  // namespace kalvex
