// The ParuVendu export. The back office already shapes ExpDatasParuVendu.xml like the
// portal file, so the export removes the link record sets, lists each vehicle's photo
// addresses in numbered Photo elements, renames idNVO to id-VO, removes the make from
// the model text and, when [PARUVENDU] FlgInfoEquip is on, turns the equipment code
// lists into labels. Every photo is synchronised with the image server. The result is
// saved in the working folder as "yyyymmddhhnn.xml" and as the export file
// "FerlaneDatasVO-yyyymmdd.xml" (the cursor writes each through a temporary file, so a
// failed save never leaves a truncated file), and the export file is sent to the
// portal drop.
//
// Errors of the cursor, of the log and of files end the run (the auto-close flag stays
// unset); FTP failures only change the final log line.
#pragma once

#include <string>

#include "exports/export_common.h"

namespace kalvex {

// The export, as the run driver calls it for PARUVENDU.
void ExportParuVendu(RunContext& context);

// The same with the photo synchronisation given (tests replace the FTP part).
void ExportParuVendu(RunContext& context, const PhotoSyncFunction& sync);

}  // namespace kalvex
