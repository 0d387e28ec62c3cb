// The ParuVendu export. The back office already shapes ExpDatasParuVendu.xml like the
// portal file, so the export removes the link record sets, lists each vehicle's photo
// addresses in numbered Photo elements, renames idNVO to id-VO, removes the make from
// the model text and, when [PARUVENDU] FlgInfoEquip is on, turns the equipment code
// lists into labels. Every photo is synchronised with the image server. The result is
// saved in the working folder as "yyyymmddhhnn.xml" and as the export file
// "FerlaneDatasVO-yyyymmdd.xml" (UTF-8, a declaration without encoding), and the export
// file is sent to the portal drop.
#pragma once

#include "exports/export_run.h"

namespace kalvex {

void ExportParuVendu(ExportRun& run);

}  // namespace kalvex
