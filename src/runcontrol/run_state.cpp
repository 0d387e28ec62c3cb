#include "runcontrol/run_state.h"

namespace kalvex {

const IniFile& RunState::Config() const {
  static const IniFile kEmpty("");
  return config ? *config : kEmpty;
}

}  // namespace kalvex
