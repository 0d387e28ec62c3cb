#include "app/application.h"

#include "exports/exporters.h"
#include "ftp/ftp_transfer.h"
#include "ftp/photo_sync.h"

namespace kalvex {

Application::Application()
    : log_(state_, window_, clock_),
      context_{state_, window_, log_, clock_, nullptr},
      driver_(context_),
      ftp_(std::make_unique<FtpTransfer>(state_, window_, log_)),
      photos_(std::make_unique<FtpPhotoService>(context_)) {
  context_.ftp = ftp_.get();
  context_.photos = photos_.get();
  RegisterExporters(driver_);
}

Application::~Application() = default;

}  // namespace kalvex
