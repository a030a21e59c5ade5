// Under LeakSanitizer: fontconfig keeps its configuration and pattern caches
// for the life of the process (Pango's font map holds them, and nothing frees
// them at exit). A text watermark lays out text, so those blocks would be
// reported as leaks; they are not ours. One definition per program.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
