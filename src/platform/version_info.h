// The executable's version block and the "Version" listing.
//
// The block has the binary VS_VERSIONINFO layout on every system (UTF-16LE names and
// texts, nodes aligned on 4 bytes): fixed file info, StringFileInfo with one string
// table, VarFileInfo\Translation. On Windows it is the executable's VERSIONINFO
// resource. On POSIX the build compiles the same bytes into the ELF section
// ".kalvex_version" of every program linked with kalvex_core; ReadVersionBlock finds
// that section through the file's ELF section headers. Its values come from the one
// place in the build files (KALVEX_FILE_VERSION, KALVEX_PRODUCT_VERSION).
//
// Lookups follow the system's version-block rules: a sub-block is a "\"-separated path
// of node names, compared without regard to ASCII letter case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvex {

inline constexpr const char* kVersionSectionName = ".kalvex_version";

// The keys that "Version" asks for, in the order they are listed.
const std::vector<std::string>& VersionKeys();

// The version block of the file at path ("\" form or native); empty when the file has
// none, is not a readable executable, or the block is damaged.
std::string ReadVersionBlock(const std::string& file_path);

// The block compiled into this program.
std::string_view OwnVersionBlock();

// The text value at sub_block (e.g. "\StringFileInfo\040c04e4\FileVersion"), as UTF-8
// up to its terminating zero; nullopt when the block has no node there.
std::optional<std::string> QueryVersionText(std::string_view block, std::string_view sub_block);

// The first translation of "\VarFileInfo\Translation": language in the low 16 bits,
// code page in the high 16 bits; nullopt when absent.
std::optional<uint32_t> QueryVersionTranslation(std::string_view block);

// Adds key + " : " + value to lines for every version key found in the version block
// of the file at path. A file without block adds nothing.
void ReadVersionInfo(const std::string& file_path, std::vector<std::string>& lines);

}  // namespace kalvex
