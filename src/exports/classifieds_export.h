// The LeBonCoin and InfoPress export: one file format, one body, run for either portal
// (the portal's name picks the document and the output names). Each vehicle of
// "ExpDatas" + name + ".xml" gets a title of at most 50 characters (Titre), a multi-line
// description (Texte, CR LF line ends), its telephone without dots and its warranty
// trimmed; its photos go into photo1 to photo6 and are synchronised with the image
// server. The equipment span EqutInterieur … InfoComplement is cut out, the vehicles
// become `annonce` elements under the root `annonces`, and the result is saved in
// ISO-8859-15 as name + "_yyyymmdd.xml", packed into name + "_yyyymmdd.zip" and, when
// the portal section names a User, sent to the portal drop. A document whose vehicles
// the span cut cannot take whole is refused before anything is written.
#pragma once

#include <string>
#include <string_view>

#include "exports/export_run.h"

namespace kalvex {

void ExportClassifieds(ExportRun& run);

// The ad title: brand + " " + model + " (ref:" + id + ")", cut to at most 50 characters
// (not bytes) with "..." before the ref; a ref too long to keep whole leaves the first
// 47 characters of the whole title followed by "...". A cut never splits a character.
std::string ClassifiedTitle(std::string_view brand, std::string_view model, std::string_view id);

}  // namespace kalvex
