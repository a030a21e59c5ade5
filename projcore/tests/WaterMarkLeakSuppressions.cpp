// Under LeakSanitizer: fontconfig keeps its configuration and pattern caches
// for the life of the process (Pango's font map holds them, and nothing frees
// them at exit). The watermark tests lay out texts, so those blocks would be
// reported as leaks; they are not the engine's. One definition per test binary.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
