#include "wave/WaveOpeners.h"

namespace {

constexpr uint8_t kAccessRead = 0;
constexpr uint8_t kAccessWrite = 1;
constexpr uint8_t kShareDenyWrite = 2;

template <typename OpenFn>
std::unique_ptr<TMMIOFile> OpenWith(const std::string& name, uint8_t access, const ErrorSink& showError,
                                    OpenFn open) {
    auto file = std::make_unique<TMMIOFile>();
    file->SetFileName(name);
    file->SetModes(true, access, kShareDenyWrite);
    try {
        open(*file);
    } catch (const EMMIOError& error) {
        showError(error.what());
        return nullptr;
    }
    return file;
}

} // namespace

std::unique_ptr<TMMIOFile> OpenWaveRead(const std::string& name, const ErrorSink& showError) {
    return OpenWith(name, kAccessRead, showError, [](TMMIOFile& file) { file.OpenExisting(); });
}

std::unique_ptr<TMMIOFile> CreateWaveWrite(const std::string& name, const ErrorSink& showError) {
    return OpenWith(name, kAccessWrite, showError, [](TMMIOFile& file) { file.CreateNew(); });
}
