#pragma once

#include "mmio/MMIOFile.h"
#include "output/AudioSink.h"
#include "run/RunHost.h"
#include "run/RunOutcome.h"

#include <exception>
#include <memory>
#include <string>

// A run's output from its creation to the end of the run: created without destroying a file nobody agreed
// to overwrite, begun and finished by its sink, given its final sizes only when it stays, and deleted
// (only the file the run wrote) when the run was aborted or failed. Every run that writes a file ends it
// here.
class TRunOutput {
public:
    // Creates the output file. Unless the user agreed to overwrite, the create is exclusive: a file that
    // appeared since the check is put to the overwrite question instead of being emptied unasked. False
    // when there is no output; the messages were shown and `outcome` says why.
    bool Create(TRunHost& host, const std::string& name, bool overwriteAgreed, TRunOutcome& outcome);
    // Hands the created file to the sink that writes it, which writes what goes before the samples.
    bool Begin(std::unique_ptr<TAudioSink> sink, const TAudioFormat& format);

    // Gives the created file the buffers of an output written front to back as fast as its input comes:
    // a few large buffers taking turns, each full one written on a thread of its own while the next fills.
    void BufferAhead();

    TMMIOFile& File() { return *file_; }
    TAudioSink& Sink() { return *sink_; }
    bool Exists() const { return file_ != nullptr; }

    // Ends the output by the outcome: a kept output is finished by its sink with the final sizes of
    // `dataBytes` bytes of samples (a failure fails the run), then it is closed; an aborted or failed one
    // is abandoned and deleted. A close that cannot flush fails the run and deletes the output; its error
    // is returned when nothing else had failed before, for the caller to raise once its own clean-up is
    // done. `lastOfRun`: the run ends with this output, so the host is asked whether a stop came at the
    // very end.
    std::exception_ptr Finish(TRunHost& host, TRunOutcome& outcome, int64_t dataBytes, bool lastOfRun = true);

    // Gives the file up without any of that (nothing was written yet).
    void Release();
    // Takes away an output that holds no samples yet, to be made again: the file this run created goes.
    void Discard();

private:
    std::unique_ptr<TMMIOFile> file_;
    std::unique_ptr<TAudioSink> sink_;
};
