// Preloaded into oxlip-convert (LD_PRELOAD): every forked child that opens a disc with libdvdread or
// libudfread hangs, or crashes with OXLIP_FAULT_CHILD=crash, as one parsing a hostile disc might. Each such
// child adds a line to the file OXLIP_FAULT_CHILD_LOG names.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

const pid_t gProgram = getpid();

void FailInChild() {
    if (getpid() == gProgram)
        return;
    if (const char* log = std::getenv("OXLIP_FAULT_CHILD_LOG"))
        if (std::FILE* file = std::fopen(log, "a")) {
            std::fputs("child\n", file);
            std::fclose(file);
        }
    const char* mode = std::getenv("OXLIP_FAULT_CHILD");
    if (mode != nullptr && std::strcmp(mode, "crash") == 0)
        std::raise(SIGSEGV);
    for (;;)
        pause();
}

template <typename F> F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" void* DVDOpen2(void* handle, const void* logger, const char* path) {
    FailInChild();
    static const auto next = Next<void* (*)(void*, const void*, const char*)>("DVDOpen2");
    return next(handle, logger, path);
}

extern "C" int udfread_open(void* udf, const char* path) {
    FailInChild();
    static const auto next = Next<int (*)(void*, const char*)>("udfread_open");
    return next(udf, path);
}
