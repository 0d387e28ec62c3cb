// The commented example Kalvex.ini shipped with the tool, made from the key table: every
// section, every key with its default, each key line commented out (";Key=default") so
// that the file copied as it is changes nothing, and a short French note per key.
#pragma once

#include <string>

namespace kalvex {

std::string IniExample();

}  // namespace kalvex
