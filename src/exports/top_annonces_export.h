// The TopAnnonces export. Each vehicle of ExpDatasTopAnnonces.xml gets its ad headline
// (`accroche_url`), its free text (`texte`: the equipment labels by group, then the extra
// items with the warranty) and 50 typed `complement` elements under its `complements`
// element (version, equipment summary, equipment flags "true"/"false", doors, mileage,
// colour, energy, year, warranty). Every photo is synchronised with the image server and
// listed under `liste_photos`. The document becomes the portal file: root `listepa`, one
// `annonce` per vehicle, the private span MODELEVERSION ... InfoComplement removed,
// ISO-8859-15. It is saved in the working folder as "XXXXXXyyyymmddhhnnss.xml" and as
// "TopAnnonces-yyyymmdd.xml", and packed into "XXXXXXyyyymmddhhnnss.zip", which stays
// there: nothing is sent to the portal, and the run log is empty after a normal run.
#pragma once

#include "exports/export_run.h"

namespace kalvex {

void ExportTopAnnonces(ExportRun& run);

}  // namespace kalvex
