#include "platform/system_converter.h"

#include <iconv.h>

#include <vector>

namespace kalvex::platform {

namespace {

// Owns an iconv descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

bool SystemConvert(const char* to, const char* from, std::string_view in, std::string* out) {
  Converter converter(to, from);
  if (!converter.ok()) return false;
  // Four bytes per input byte and a shift sequence hold any conversion of these sets.
  std::vector<char> buffer(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = buffer.data();
  size_t dst_left = buffer.size();
  const bool ok =
      ::iconv(converter.get(), &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1) &&
      src_left == 0 && ::iconv(converter.get(), nullptr, nullptr, &dst, &dst_left) == 0;
  if (ok) out->assign(buffer.data(), static_cast<size_t>(dst - buffer.data()));
  return ok;
}

}  // namespace kalvex::platform
