/* Loads a library on the first call through one of its stubs (see
   LazyLink.cmake) and points every stub of that library at the real
   function. The stubs' resolver calls veltrano_lazy_load with the library's
   record; it returns only once every slot holds the function's address. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

/* Written by LazyStubs.cmake, field for field. */
struct lazy_library {
    const char* soname;
    const char* const* names;
    void** slots;
    unsigned count;
    unsigned beside; /* a project library: look beside the calling library first */
    unsigned loaded;
    unsigned padding;
};

void veltrano_lazy_load(struct lazy_library* library) __attribute__((visibility("hidden")));

/* Two threads may make the first call at once: one loads, the other waits. */
static pthread_mutex_t load_lock = PTHREAD_MUTEX_INITIALIZER;

/* The name of the library these stubs live in, for the messages. */
static const char* caller_name(const struct lazy_library* library) {
    Dl_info info;
    if (dladdr(library, &info) && info.dli_fname && info.dli_fname[0] != '\0') return info.dli_fname;
    return "a Veltrano library";
}

/* A library that cannot be loaded leaves nothing to call: say which and stop
   with the dynamic loader's own status for a library missing at start. */
static void give_up(const struct lazy_library* library, const char* what, const char* error) {
    dprintf(STDERR_FILENO, "%s: cannot load %s: %s\n", caller_name(library), what, error ? error : "unknown error");
    _exit(127);
}

static void* open_library(const struct lazy_library* library) {
    Dl_info info;
    /* An installed tree keeps the project's libraries together, whatever the
       search path says; a file found there that does not load is an error,
       not a reason to pick up another copy elsewhere. */
    if (library->beside && dladdr(library, &info) && info.dli_fname && info.dli_fname[0] == '/') {
        const char* slash = strrchr(info.dli_fname, '/');
        size_t folder = (size_t)(slash - info.dli_fname) + 1;
        char path[PATH_MAX];
        if (folder + strlen(library->soname) < sizeof path) {
            memcpy(path, info.dli_fname, folder);
            strcpy(path + folder, library->soname);
            if (access(path, F_OK) == 0) {
                void* handle = dlopen(path, RTLD_LAZY | RTLD_GLOBAL);
                if (!handle) give_up(library, path, dlerror());
                return handle;
            }
        }
    }
    /* A build tree (each library in its own folder, found through the
       caller's RUNPATH) and system libraries. */
    void* handle = dlopen(library->soname, RTLD_LAZY | RTLD_GLOBAL);
    if (!handle) give_up(library, library->soname, dlerror());
    return handle;
}

void veltrano_lazy_load(struct lazy_library* library) {
    if (__atomic_load_n(&library->loaded, __ATOMIC_ACQUIRE)) return;
    pthread_mutex_lock(&load_lock);
    if (!library->loaded) {
        void* handle = open_library(library);
        for (unsigned i = 0; i < library->count; ++i) {
            void* function = dlsym(handle, library->names[i]);
            if (!function) give_up(library, library->soname, dlerror());   /* names the function */
            __atomic_store_n(&library->slots[i], function, __ATOMIC_RELEASE);
        }
        __atomic_store_n(&library->loaded, 1u, __ATOMIC_RELEASE);
    }
    pthread_mutex_unlock(&load_lock);
}
