#pragma once

#include "engine/RunHost.h"
#include "engine/RunOutcome.h"
#include "mmio/MMIOFile.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

// A run's output file from its creation to the end of the run: created without destroying a file nobody
// agreed to overwrite, given its final sizes only when it stays, and deleted (only the file the run wrote)
// when the run was aborted or failed. Every run that writes a file ends it here.
class TRunOutput {
public:
    // Creates the output. Unless the user agreed to overwrite, the create is exclusive: a file that
    // appeared since the check is put to the overwrite question instead of being emptied unasked. False
    // when there is no output; the messages were shown and `outcome` says why.
    bool Create(TRunHost& host, const std::string& name, bool overwriteAgreed, TRunOutcome& outcome);

    TMMIOFile& File() { return *file_; }
    bool Exists() const { return file_ != nullptr; }

    // Ends the output by the outcome: a kept output gets its final sizes from `writeSizes` (false when
    // they could not be written), then it is closed; an aborted or failed one is deleted. A close that
    // cannot flush fails the run and deletes the output; its error is returned when nothing else had
    // failed before, for the caller to raise once its own clean-up is done.
    // `lastOfRun`: the run ends with this output, so the host is asked whether a stop came at the very end.
    std::exception_ptr Finish(TRunHost& host, TRunOutcome& outcome,
                              const std::function<bool(TMMIOFile&)>& writeSizes, bool lastOfRun = true);

    // Gives the file up without any of that (nothing was written yet).
    void Release() { file_.reset(); }

private:
    std::unique_ptr<TMMIOFile> file_;
};
