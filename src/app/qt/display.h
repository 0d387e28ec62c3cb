// Whether this session can show a window.
#pragma once

namespace kalvex {

// POSIX: the session names an X11 or Wayland display, or QT_QPA_PLATFORM chooses one of
// Qt's own platforms (offscreen, vnc, ...). Windows: an interactive desktop is always
// there.
bool DisplayAvailable();

}  // namespace kalvex
