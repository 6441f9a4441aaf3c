/* Leak reports the window tests cannot act on, read by the leak checker of
   sanitizer builds (unused otherwise): fontconfig keeps its font cache for
   the life of the process, and FLTK's text drawing opens it. Linked into
   every test program, so a run needs no environment of its own. */
const char* __lsan_default_suppressions(void);
const char* __lsan_default_suppressions(void) { return "leak:libfontconfig.so\n"; }
