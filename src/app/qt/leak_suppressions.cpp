// Sanitizer builds only: fontconfig keeps caches that it never frees, which
// LeakSanitizer would report at the exit of every program that shows a window.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
