// The SitAutoPro export. Each vehicle record gets its body-type code, warranty months,
// door count and version without the model name, and 28 equipment elements with
// readable values ("O"/"N" flags, radio and air-conditioning words). The document is
// then rewritten as text into the portal file: root CLIENT with the dealer's client code
// in CODE, the coordinates record, one ANNONCE per vehicle with its photo addresses
// under PHOTOS and without the span of fields from EQUTINTERIEUR to INFOCOMPLEMENT.
// The file (ISO-8859-15) is saved as [SITAUTOPRO] FileResult and as the dated
// "SitAutoPro-yyyymmdd.xml" in the working folder, packed into the FileResultZip archive
// and the archive is sent to the portal drop; every photo is synchronised with the
// image server.
//
// A document whose vehicles the text rewrite cannot take whole (a span marker or photo
// slot missing, markers out of order) is refused before any file is written.
#pragma once

#include "exports/export_run.h"

namespace kalvex {

void ExportSitAutoPro(ExportRun& run);

}  // namespace kalvex
