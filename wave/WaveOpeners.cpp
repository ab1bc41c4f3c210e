#include "wave/WaveOpeners.h"

#include "texts/Messages.h"

#include <new>

namespace {

constexpr uint8_t kAccessRead = 0;
constexpr uint8_t kAccessWrite = 1;
constexpr uint8_t kShareDenyWrite = 2;

template <typename OpenFn>
std::unique_ptr<TMMIOFile> OpenWith(const std::string& name, uint8_t access, const ErrorSink& showError,
                                    OpenFn open) {
    try {
        auto file = std::make_unique<TMMIOFile>();
        file->SetFileName(name);
        file->SetModes(true, access, kShareDenyWrite);
        open(*file);
        return file;
    } catch (const EMMIOError& error) {
        showError(error.what());
    } catch (const std::bad_alloc&) {
        // No memory for the object or its name: to the user, that is a buffer that could not be had.
        showError(msg::kBufferFailed);
    }
    return nullptr;
}

} // namespace

std::unique_ptr<TMMIOFile> OpenWaveRead(const std::string& name, const ErrorSink& showError) {
    return OpenWith(name, kAccessRead, showError, [](TMMIOFile& file) { file.OpenExisting(); });
}

std::unique_ptr<TMMIOFile> CreateWaveWrite(const std::string& name, const ErrorSink& showError) {
    return CreateWaveWrite(name, showError, false);
}

std::unique_ptr<TMMIOFile> CreateWaveWrite(const std::string& name, const ErrorSink& showError,
                                           bool exclusive) {
    return OpenWith(name, kAccessWrite, showError, [exclusive](TMMIOFile& file) {
        file.SetCreateExclusive(exclusive);
        file.CreateNew();
    });
}
