// The portals' files are in ISO-8859-15. libxml2 converts such an encoding through the
// system's converter (platform/system_converter.h), a call per chunk that goes through
// UCS-4 and takes about a tenth of an export that parses and saves a large stock several
// times. Instead, that converter is asked once per process about each of the encoding's
// 256 bytes, and libxml2 is given a handler that converts with the resulting tables: the same
// bytes, in a fraction of the time. Characters the encoding lacks are still written as character
// references by libxml2; a byte the encoding leaves undefined is still refused.
#pragma once

#include <string>

namespace kalvex::xmldom {

// Registers the table handlers with libxml2, once per process; later calls do nothing.
// An encoding whose tables the system converter does not give consistently is left to
// that converter.
void UseSingleByteTables();

// Whether `encoding` (as libxml2 looks it up: letter case aside) is converted with
// tables after UseSingleByteTables.
bool HasSingleByteTable(const std::string& encoding);

}  // namespace kalvex::xmldom
