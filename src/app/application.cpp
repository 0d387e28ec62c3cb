#include "app/application.h"

namespace kalvex {

Application::Application()
    : log_(state_, window_, clock_),
      context_{state_, window_, log_, clock_, nullptr},
      driver_(context_) {}

Application::~Application() = default;

}  // namespace kalvex
