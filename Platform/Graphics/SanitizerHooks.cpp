// GLib, fontconfig and Pango synchronise their threads with futexes the sanitizers cannot see
// (Cairo hands pattern and path blocks between threads through lock-free pools of its own),
// and fontconfig keeps its caches behind encoded offsets the leak checker cannot follow. Without
// these hooks every binary that decodes images or lays out text would report their internals.
// (A binary may define each hook only once: add entries here rather than beside it.)
#include "Graphics/ImageHeader.h"

namespace cg::detail {
extern const int kSanitizerHooks = 1;
}  // namespace cg::detail

#if defined(__SANITIZE_ADDRESS__)
// SDL (the media layer's sound output) keeps each thread's error text in thread-local storage
// that it frees only for threads of its own.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libSDL2-2.0.so\n";
}
#endif

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
  return "race:libglib-2.0.so\n"
         "race:libfontconfig.so\n"
         "race:libpangoft2-1.0.so\n"
         "race:libcairo.so\n";
}
#endif
