// Preloaded into oxlip-convert (LD_PRELOAD). With OXLIP_FAULT_CHILD set, every forked child that opens a
// disc with libdvdread or libudfread hangs, or crashes with OXLIP_FAULT_CHILD=crash, as one parsing a
// hostile disc might; each such child adds a line to the file OXLIP_FAULT_CHILD_LOG names. The program
// itself adds a line to the file OXLIP_PROGRAM_DVDREAD_LOG names for each disc and file it opens with
// libdvdread.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

const pid_t gProgram = getpid();

void AddLine(const char* logVariable, const char* what, const char* detail) {
    if (const char* log = std::getenv(logVariable))
        if (std::FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%s%s\n", what, detail);
            std::fclose(file);
        }
}

void FailInChild() {
    const char* mode = std::getenv("OXLIP_FAULT_CHILD");
    if (getpid() == gProgram || mode == nullptr)
        return;
    AddLine("OXLIP_FAULT_CHILD_LOG", "child", "");
    if (std::strcmp(mode, "crash") == 0)
        std::raise(SIGSEGV);
    for (;;)
        pause();
}

void NoteInProgram(const char* call, const char* opened) {
    if (getpid() == gProgram)
        AddLine("OXLIP_PROGRAM_DVDREAD_LOG", call, opened);
}

template <typename F> F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" void* DVDOpen2(void* handle, const void* logger, const char* path) {
    FailInChild();
    NoteInProgram("DVDOpen2 ", path);
    static const auto next = Next<void* (*)(void*, const void*, const char*)>("DVDOpen2");
    return next(handle, logger, path);
}

extern "C" void* DVDOpenFile(void* reader, int titleSet, int domain) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", titleSet);
    NoteInProgram("DVDOpenFile ", number);
    static const auto next = Next<void* (*)(void*, int, int)>("DVDOpenFile");
    return next(reader, titleSet, domain);
}

extern "C" int udfread_open(void* udf, const char* path) {
    FailInChild();
    static const auto next = Next<int (*)(void*, const char*)>("udfread_open");
    return next(udf, path);
}
