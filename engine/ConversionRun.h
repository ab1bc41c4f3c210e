#pragma once

#include "engine/RunHost.h"
#include "engine/SampleGroup.h"
#include "mmio/MMIOFile.h"
#include "texts/Messages.h"
#include "wave/WaveHeader.h"

#include <concepts>
#include <cstdint>
#include <memory>

// How a run ended.
enum class TRunResult {
    Completed, // every group of the input was converted
    Stopped,   // stopped with Ignore: the partial output stays, with a header that describes it
    Aborted,   // stopped with Abort: the output was deleted
    Refused,   // a check, a question or an open ended the run before the conversion
    Failed,    // a read or write error ended the conversion; the incomplete output was deleted
};

// One conversion from two file names to a finished WAVE file, driven through a host. The run holds its
// state only while it executes; the host's STOP handler calls StopQuestion from inside the host's event
// processing.
class TConversionRun {
public:
    static constexpr int32_t kBufferSize = 32768;

    // The per-group loop is compiled for the host's own type. The host is called just the same for every
    // group, but for a host class marked final the compiler binds those calls directly and can inline them.
    template <std::derived_from<TRunHost> Host>
    explicit TConversionRun(Host& host) : host_(host), convertGroups_(&TConversionRun::ConvertGroups<Host>) {}

    // Checks the request, converts and cleans up. Errors are shown through the host; an exception the run
    // does not handle itself (a buffer that cannot be resized, an output that cannot be closed) leaves
    // after the clean-up, for the host's default error dialog.
    TRunResult Execute();

    // Asks the host's stop question and applies the answer; does nothing unless a conversion is under way.
    void StopQuestion();
    void ApplyStopAnswer(TStopAnswer answer);

    bool Converting() const { return converting_; }
    bool Running() const { return Running_; }
    bool DeleteOutput() const { return DeleteOutput_; }
    int64_t DataOffset() const { return DataOffset_; }
    int64_t GroupCount() const { return GroupCount_; }
    int64_t GroupsWritten() const { return groupsWritten_; }
    bool RawInput() const { return RawInput_; }
    const TWaveHeader& InInfo() const { return InInfo_; }
    const TWaveHeader& OutHeader() const { return OutHeader_; }

private:
    enum class Failure { None, Read, Write };

    TRunResult Prepare();
    template <class Host> void ConvertGroups();
    void CorrectHeaderSizes();
    void CleanUp();
    void ReleaseFilesQuietly();
    void ShowError(const std::string& message) { host_.ShowError(message); }

    TRunHost& host_;
    void (TConversionRun::*convertGroups_)();
    std::unique_ptr<TMMIOFile> InFile_;
    std::unique_ptr<TMMIOFile> OutFile_;
    int64_t DataOffset_ = 0;
    int32_t SampleRate_ = 0;
    int64_t GroupCount_ = 0;
    TWaveHeader InInfo_{};
    TWaveHeader OutHeader_{};
    bool RawInput_ = false;
    bool Running_ = false;
    bool DeleteOutput_ = false;

    int64_t groupsWritten_ = 0;
    bool converting_ = false;
    bool stoppedByUser_ = false;
    Failure failure_ = Failure::None;
};

template <class Host> void TConversionRun::ConvertGroups() {
    // Everything the loop touches for every group is local: the host calls between the steps cannot
    // reach locals, so the compiler keeps them in registers instead of reloading them after each call.
    TMMIOFile& input = *InFile_;
    TMMIOFile& output = *OutFile_;
    Host& host = static_cast<Host&>(host_);
    const bool bigEndian = RawInput_;
    TSampleGroup group{};
    uint8_t raw[kGroupBytes];
    uint8_t out[kMaxEmittedBytes];
    converting_ = true;
    // Every group in this order, on which STOP! relies: read, check Running_, normalise, events, emit,
    // write, progress, events.
    for (;;) {
        const int32_t got = input.Read(raw, kGroupBytes);
        if (got != kGroupBytes) {
            // A short read is the end of the input (its incomplete group is dropped); -1 is an I/O error.
            if (got < 0) {
                failure_ = Failure::Read;
                DeleteOutput_ = true;
                ShowError(msg::kReadFailed);
            }
            break;
        }
        if (!Running_)
            break;
        NormalizeGroup(raw, bigEndian, group);
        host.ProcessPendingEvents();
        const int length = EmitGroup(group, host.FormatIndex(), out);
        // Constant sizes let the buffer's fast path copy the group with one or two moves.
        const int32_t stored = length == 8 ? output.Write(out, 8) : output.Write(out, kMaxEmittedBytes);
        if (stored != length) {
            failure_ = Failure::Write;
            DeleteOutput_ = true;
            ShowError(msg::kWriteFailed);
            break;
        }
        ++groupsWritten_;
        host.SetGaugeProgress(groupsWritten_);
        host.ProcessPendingEvents();
    }
    converting_ = false;
}
