#pragma once

#include "mmio/MMIOFile.h"

#include <functional>
#include <memory>
#include <string>

// Shows a file-layer error to the user (the host's error dialog).
using ErrorSink = std::function<void(const std::string& message)>;

// Opens the input for reading, denying others write access. A file-layer error goes to `showError` and
// gives no object. An open that fails without a message gives an unopened object.
std::unique_ptr<TMMIOFile> OpenWaveRead(const std::string& name, const ErrorSink& showError);

// Creates the output (an existing file is emptied), writing and denying others write access. While the
// same file is open as the input, under whatever name, this fails with a sharing violation.
std::unique_ptr<TMMIOFile> CreateWaveWrite(const std::string& name, const ErrorSink& showError);

// The same; with `exclusive`, for an output nobody was asked to overwrite, a file that exists already is
// left as it is: no message, and an unopened object whose Info()->wErrorRet is mmio::kErrFileExists.
std::unique_ptr<TMMIOFile> CreateWaveWrite(const std::string& name, const ErrorSink& showError,
                                           bool exclusive);
