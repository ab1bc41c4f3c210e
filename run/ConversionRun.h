#pragma once

#include "engine/SampleGroup.h"
#include "engine/TpdfDither.h"
#include "mmio/MMIOCursor.h"
#include "mmio/MMIOFile.h"
#include "output/WaveSink.h"
#include "run/RunControl.h"
#include "run/RunHost.h"
#include "run/RunOptions.h"
#include "run/RunOutcome.h"
#include "run/RunOutput.h"
#include "run/RunRequest.h"
#include "texts/Messages.h"
#include "wave/WaveHeader.h"

#include <concepts>
#include <cstdint>
#include <memory>
#include <type_traits>

// One conversion of a raw or swapped-WAVE input from two file names to a finished WAVE file, driven
// through a host. The run holds its state only while it executes; the host's STOP handler calls
// StopQuestion from inside the host's event processing.
class TConversionRun : public TRunControl {
public:
    static constexpr int32_t kBufferSize = 32768;

    // The per-group loop is compiled for the host's own type. The host is called just the same for every
    // group, but for a host class marked final the compiler binds those calls directly and can inline them.
    // The dithering loop is a second instantiation, so that the plain loop asks nothing more per group.
    template <std::derived_from<TRunHost> Host>
    TConversionRun(Host& host, TRunRequest request)
        : TRunControl(host), Request_(std::move(request)),
          ConvertGroups_(&TConversionRun::ConvertGroups<Host, false>),
          DitherGroups_(&TConversionRun::ConvertGroups<Host, true>) {}

    // Checks the request, converts and cleans up. Errors are shown through the host; an exception the run
    // does not handle itself (a buffer that cannot be resized, an output that cannot be closed) leaves
    // after the clean-up, for the host's default error dialog.
    TRunResult Execute();

    int64_t DataOffset() const { return DataOffset_; }
    int64_t GroupCount() const { return GroupCount_; }
    int64_t GroupsWritten() const { return GroupsWritten_; }

private:
    bool Prepare();
    void ReleaseFiles();
    bool OpenInput();
    bool ScanInput();
    bool CountGroups();
    bool CheckLimits();
    bool CreateOutput(bool overwriteAgreed);
    void BuildHeader();
    void WriteProvisionalHeader();

    template <class Host, bool Dither> void ConvertGroups();
    template <class Host, bool Dither, bool BigEndian, bool Wide, bool ThroughSink> void ConvertGroupsAs();
    void CleanUp();

    TRunRequest Request_;
    void (TConversionRun::*ConvertGroups_)();
    void (TConversionRun::*DitherGroups_)();
    std::unique_ptr<TMMIOFile> InFile_;
    TRunOutput OutFile_;
    std::string InputName_;
    std::string OutputName_;
    int64_t DataOffset_ = 0;
    int32_t SampleRate_ = 0;
    // The output-format item as the run goes: 0 is 16 bits, 1 the 20 valid bits in 3-byte containers.
    int FormatIndex_ = 1;
    int64_t GroupCount_ = 0;
    TWaveHeader InInfo_{};
    bool RawInput_ = false;
    // The sink chosen for the output (the plain 46-byte file, or the writer's that may become RF64), and
    // the format it is begun with.
    std::unique_ptr<TAudioSink> Sink_;
    // The samples go through the sink (an encoder) instead of straight into the file.
    bool ThroughSink_ = false;
    TAudioFormat Format_{};
    bool Dither_ = false;
    int64_t GroupsWritten_ = 0;
};

// The choices that hold for the whole run (the input's byte order, the output's sample size, the sink) are
// made here once: each combination is a loop of its own, which has no branch for them and keeps its
// registers for the group and the buffers.
template <class Host, bool Dither> void TConversionRun::ConvertGroups() {
    const auto choose = [](bool value, const auto& then) {
        if (value)
            then(std::true_type{});
        else
            then(std::false_type{});
    };
    choose(RawInput_, [&](auto bigEndian) {
        choose(!Dither && FormatIndex_ != 0, [&](auto wide) {
            choose(ThroughSink_, [&](auto throughSink) {
                ConvertGroupsAs<Host, Dither, bigEndian(), wide(), throughSink()>();
            });
        });
    });
}

template <class Host, bool Dither, bool BigEndian, bool Wide, bool ThroughSink>
void TConversionRun::ConvertGroupsAs() {
    // Everything the loop touches for every group is local: the host calls between the steps cannot
    // reach locals, nor can the stores into the output's buffer, so the compiler keeps them in registers
    // instead of reloading them after each call or store. The cursors hold the buffers' positions alike.
    TMMIOCursor input(*InFile_);
    TMMIOCursor output(OutFile_.File());
    TAudioSink& sink = OutFile_.Sink();
    Host& host = static_cast<Host&>(host_);
    // Exactly the groups counted at the start, which the header and the limits were made for: an input
    // that grows meanwhile is not followed.
    const int64_t groupCount = GroupCount_;
    int64_t written = GroupsWritten_;
    constexpr int kLength = EmittedBytes(Wide ? 1 : 0);
    TSampleGroup group{};
    uint8_t raw[kGroupBytes];
    uint8_t out[kLength];
    // One generator per channel, from the same seeds in every run: two runs give the same file.
    [[maybe_unused]] TTpdfDither left(DitherSeed(0));
    [[maybe_unused]] TTpdfDither right(DitherSeed(1));
    phase_ = Phase::Converting;
    // Every group in this order, on which STOP! relies: read, check the outcome, normalise, events, emit,
    // write, progress, events.
    while (written < groupCount) {
        const int32_t got = input.Read(raw);
        if (got != kGroupBytes) {
            // A short read is the end of the input (its incomplete group is dropped); -1 is an I/O error.
            if (got < 0) {
                outcome_.Fail();
                ShowError(msg::kReadFailed);
            } else if (outcome_.Running()) {
                host.ShowNote(msg::kInputShrank);
            }
            break;
        }
        if (!outcome_.Running())
            break;
        NormalizeGroup(raw, BigEndian, group);
        host.ProcessPendingEvents();
        if constexpr (Dither)
            DitherGroupTo16(group, left, right, out);
        else
            EmitGroup(group, Wide ? 1 : 0, out);
        // The WAVE sink's samples lie in the file as they come: the group goes straight into the file's
        // buffer, and the constant size lets the cursor copy it with one or two moves.
        bool stored = false;
        if constexpr (ThroughSink)
            stored = sink.Write(out, kLength);
        else
            stored = output.Write(out) == kLength;
        if (!stored) {
            outcome_.Fail();
            ShowError(msg::kWriteFailed);
            break;
        }
        GroupsWritten_ = ++written;
        host.SetGaugeProgress(written);
        host.ProcessPendingEvents();
    }
    outcome_.Complete();
    phase_ = Phase::CleaningUp;
}
