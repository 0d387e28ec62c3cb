#include "xml/single_byte_encoding.h"

#include <libxml/encoding.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "platform/system_converter.h"

namespace kalvex::xmldom {

namespace {

// The tables of one encoding: each byte's character in UTF-8 (empty when undefined),
// and each character beyond ASCII to its byte.
struct Tables {
  std::array<std::string, 256> decode;
  std::unordered_map<uint32_t, unsigned char> encode;
};

// The length of the UTF-8 sequence that `lead` starts; 0 for a byte that starts none.
int SequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
}

// The code point of the UTF-8 sequence of `length` bytes at `s`.
uint32_t CodePointOf(const unsigned char* s, int length) {
  if (length == 1) return s[0];
  uint32_t cp = s[0] & (0x7Fu >> length);
  for (int k = 1; k < length; ++k) cp = cp << 6 | (s[k] & 0x3Fu);
  return cp;
}

// The code point of a UTF-8 text of one character; 0 when it is not one.
uint32_t CodePoint(std::string_view utf8) {
  if (utf8.empty()) return 0;
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const int length = SequenceLength(s[0]);
  return length != 0 && static_cast<size_t>(length) == utf8.size() ? CodePointOf(s, length) : 0;
}

// Asks the system converter about every byte, both ways. False when the encoding is not a
// single-byte one that keeps ASCII and converts each of its characters back to the byte it came
// from: such an encoding is left to that converter.
bool BuildTables(const char* name, Tables* tables) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    std::string utf8, back;
    if (!platform::SystemConvert("UTF-8", name, one, &utf8))
      continue;  // undefined in this encoding
    const uint32_t cp = CodePoint(utf8);
    if (byte < 0x80 ? cp != static_cast<uint32_t>(byte) : cp < 0x80) return false;
    if (!platform::SystemConvert(name, "UTF-8", utf8, &back) || back != one) return false;
    tables->decode[byte] = utf8;
    if (byte >= 0x80) tables->encode.emplace(cp, static_cast<unsigned char>(byte));
  }
  return true;
}

// libxml2's handlers carry no context: one set of tables per registered encoding.
struct Iso885915 {
  static constexpr const char* kName = "ISO-8859-15";
  static Tables& Get() {
    static Tables tables;
    return tables;
  }
};

// Bytes of the encoding to UTF-8. Stops where the output is full, or at an undefined
// byte (-2, which libxml2 reports as an encoding error).
template <typename Encoding>
int Decode(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  const Tables& t = Encoding::Get();
  int i = 0, o = 0;
  int result = 0;
  while (i < *inlen) {
    const unsigned char byte = in[i];
    if (byte < 0x80) {
      if (o >= *outlen) break;
      out[o++] = byte;
      ++i;
      continue;
    }
    const std::string& utf8 = t.decode[byte];
    if (utf8.empty()) {
      result = -2;
      break;
    }
    if (o + static_cast<int>(utf8.size()) > *outlen) break;
    for (char c : utf8) out[o++] = static_cast<unsigned char>(c);
    ++i;
  }
  *inlen = i;
  *outlen = o;
  return result < 0 ? result : o;
}

// UTF-8 to bytes of the encoding. Stops where the output is full, before a character
// cut by the end of the input (libxml2 passes it again with what follows), and at a
// character the encoding lacks (-2: libxml2 writes a character reference for it and
// goes on).
template <typename Encoding>
int Encode(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  const Tables& t = Encoding::Get();
  int i = 0, o = 0;
  int result = 0;
  while (i < *inlen && o < *outlen) {
    const unsigned char lead = in[i];
    if (lead < 0x80) {
      out[o++] = lead;
      ++i;
      continue;
    }
    const int length = SequenceLength(lead);
    if (length == 0) {
      result = -2;
      break;
    }
    if (i + length > *inlen) break;
    const auto found = t.encode.find(CodePointOf(in + i, length));
    if (found == t.encode.end()) {
      result = -2;
      break;
    }
    out[o++] = found->second;
    i += length;
  }
  *inlen = i;
  *outlen = o;
  return result < 0 ? result : o;
}

template <typename Encoding>
bool Register() {
  if (!BuildTables(Encoding::kName, &Encoding::Get())) return false;
  return xmlNewCharEncodingHandler(Encoding::kName, &Decode<Encoding>, &Encode<Encoding>) !=
         nullptr;
}

std::once_flag registered;
bool iso_8859_15 = false;

}  // namespace

void UseSingleByteTables() {
  std::call_once(registered, [] { iso_8859_15 = Register<Iso885915>(); });
}

bool HasSingleByteTable(const std::string& encoding) {
  if (!iso_8859_15) return false;
  xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding.c_str());
  if (handler == nullptr) return false;
  const bool ours = handler->input == &Decode<Iso885915>;
  xmlCharEncCloseFunc(handler);  // frees a system converter's handler; a registered one stays
  return ours;
}

}  // namespace kalvex::xmldom
