// The AutoScout24 export. Each vehicle of ExpDatasAutoScout24.xml becomes one line of the
// vehicle file "<idClient>.csv": 92 fields, each followed by ";", and CR LF. Its photos
// are copied as "<idNVO>_<n>.jpg" (n from 1 per vehicle) into the staging folder
// (Windir + [AUTOSCOUT24] PathTemp, emptied first and refused when it could hold anything
// but this export's files), where the vehicle file is written too, once, in Windows-1252
// without byte-order mark. In every value ";" becomes "," and CR, LF and TAB a blank, so
// that no value can shift another field or split a line; a character Windows-1252 lacks
// is written in its nearest Latin form. The staging folder is zipped into
// "<idClient>.zip" in the working folder and sent to the portal drop; the document is
// kept as "yyyymmddhhnn.xml" there.
#pragma once

#include "exports/export_run.h"

namespace kalvex {

void ExportAutoScout24(ExportRun& run);

}  // namespace kalvex
