#include "platform/front_end.h"

namespace kalvex {

namespace {

class NullProgressDialog : public ProgressDialog {
 public:
  void SetText(const std::string&) override {}
  void SetPosition(int) override {}
  bool CancelRequested() override { return false; }
};

}  // namespace

std::unique_ptr<ProgressDialog> NullFrontEnd::OpenProgressDialog(const std::string&) {
  return std::make_unique<NullProgressDialog>();
}

}  // namespace kalvex
