// Under LeakSanitizer: fontconfig keeps its configuration and pattern caches
// for the life of the process (Pango's font map holds them and nothing frees
// them at exit). Those blocks are reported as leaks; they are not ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
