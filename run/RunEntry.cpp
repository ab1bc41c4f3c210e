#include "run/RunEntry.h"

#include "disc/Disc.h"
#include "run/DiscConversion.h"
#include "run/NameProposal.h"
#include "run/StreamRun.h"
#include "texts/Messages.h"

#include <filesystem>

namespace {

class TRawOrWaveRun final : public TRun {
public:
    explicit TRawOrWaveRun(std::unique_ptr<TConversionRun> run)
        : TRun(TInputKind::RawOrWave), run_(std::move(run)) {}
    TRunResult Execute() override { return run_->Execute(); }
    TRunControl& Control() override { return *run_; }
    int64_t GaugeBytesPerStep() const override { return kGroupBytes; }

private:
    std::unique_ptr<TConversionRun> run_;
};

class TProgramStreamRun final : public TRun {
public:
    TProgramStreamRun(TRunHost& host, const TRunRequest& request, const TRunOptions& options)
        : TRun(TInputKind::ProgramStream), run_(host, options),
          track_(request.track > 0 ? request.track : 1) {}
    TRunResult Execute() override { return run_.ExecuteFile(track_); }
    TRunControl& Control() override { return run_; }

private:
    TStreamRun run_;
    int track_;
};

bool IsFlacRequest(const TRunRequest& request) {
    return request.format == TOutputFormat::Flac || IsFlacName(request.output);
}

// The request's options with its output format.
TRunOptions OptionsOf(const TRunRequest& request) {
    TRunOptions options = request.options;
    if (IsFlacRequest(request))
        options.flac = TFlacSettings{request.flacLevel, request.tags};
    return options;
}

TDiscRequest DiscRequestOf(const TRunRequest& request) {
    TDiscRequest disc;
    disc.disc = request.input;
    disc.title = request.title;
    disc.track = request.track;
    disc.chapters = request.chapters;
    disc.firstChapter = request.firstChapter;
    disc.lastChapter = request.lastChapter;
    disc.output = request.output;
    disc.folder = request.folder;
    disc.extension = IsFlacRequest(request) ? ".flac" : ".wav";
    return disc;
}

class TWholeDiscRun final : public TRun {
public:
    TWholeDiscRun(TRunHost& host, const TRunRequest& request, const TRunOptions& options)
        : TRun(TInputKind::Disc), run_(host, DiscRequestOf(request), options) {}
    TRunResult Execute() override { return run_.Execute(); }
    TRunControl& Control() override { return run_; }

private:
    TDiscRun run_;
};

// A request whose options do not apply to its input: the run only says so.
class TRefusedRun final : public TRun {
public:
    TRefusedRun(TRunHost& host, TInputKind kind, std::string message)
        : TRun(kind), control_(host), message_(std::move(message)) {}
    TRunResult Execute() override { return control_.Refuse(message_); }
    TRunControl& Control() override { return control_; }

private:
    class TControl final : public TRunControl {
    public:
        explicit TControl(TRunHost& host) : TRunControl(host) {}
        TRunResult Refuse(const std::string& message) {
            outcome_.Begin();
            TRunControl::Refuse(message);
            return outcome_.Result();
        }
    };
    TControl control_;
    std::string message_;
};

// A run that first tells the host something about the request (that the stream's own rate is taken).
class TNotedRun final : public TRun {
public:
    TNotedRun(TRunHost& host, std::unique_ptr<TRun> run, std::string note)
        : TRun(run->Kind()), host_(host), run_(std::move(run)), note_(std::move(note)) {}
    TRunResult Execute() override {
        host_.ShowNote(note_);
        return run_->Execute();
    }
    TRunControl& Control() override { return run_->Control(); }
    int64_t GaugeBytesPerStep() const override { return run_->GaugeBytesPerStep(); }

private:
    TRunHost& host_;
    std::unique_ptr<TRun> run_;
    std::string note_;
};

// Why the request's options do not fit an input of this kind; empty when they do.
std::string OptionsRefusal(const TRunRequest& request, TInputKind kind) {
    if (kind == TInputKind::Refused)
        return {};
    if (kind != TInputKind::Disc && (request.title > 0 || request.chapters))
        return msg::kDiscOptionsOnly;
    if (kind == TInputKind::RawOrWave && request.track > 0)
        return msg::kTrackOptionOnly;
    return {};
}

// Beside the input, unless it lies in a disc's folder: a disc is read, not written to (it is often
// read-only), so the output goes where a disc's outputs go.
std::string DefaultFileOutput(const TRunRequest& request) {
    const std::string beside =
        IsFlacRequest(request) ? WithFlacExtension(request.input) : ProposeOutputName(request.input);
    const std::filesystem::path folder = std::filesystem::path(request.input).parent_path();
    if (!LooksLikeDisc(folder.empty() ? "." : folder.string()))
        return beside;
    return (std::filesystem::path(request.folder) / std::filesystem::path(beside).filename()).string();
}

} // namespace

std::vector<std::string> PlanOutputs(const TRunRequest& request, std::string* refusal) {
    const TInputKind kind = ClassifyInput(request.input, refusal);
    if (kind == TInputKind::Refused || !OptionsRefusal(request, kind).empty())
        return {};
    if (kind == TInputKind::Disc)
        return PlanDiscOutputs(DiscRequestOf(request));
    return {request.output.empty() ? DefaultFileOutput(request) : request.output};
}

std::string ProposeOutputFor(const std::string& input, TInputKind kind) {
    if (kind == TInputKind::Disc)
        if (std::string disc = ProposeDiscOutputName(input); !disc.empty())
            return disc;
    return ProposeOutputName(input);
}

std::unique_ptr<TRun> run_detail::MakeRun(TRunHost& host, const TRunRequest& request,
                                          const TRawRunFactory& rawRun) {
    std::string refused;
    const TInputKind kind = ClassifyInput(request.input, &refused);
    if (std::string refusal = OptionsRefusal(request, kind); !refusal.empty())
        return std::make_unique<TRefusedRun>(host, kind, std::move(refusal));
    const TRunOptions options = OptionsOf(request);
    std::unique_ptr<TRun> run;
    switch (kind) {
    case TInputKind::RawOrWave:
        return std::make_unique<TRawOrWaveRun>(rawRun(options));
    case TInputKind::ProgramStream:
        run = std::make_unique<TProgramStreamRun>(host, request, options);
        break;
    case TInputKind::Disc:
        run = std::make_unique<TWholeDiscRun>(host, request, options);
        break;
    case TInputKind::Refused:
        return std::make_unique<TRefusedRun>(host, kind, std::move(refused));
    }
    if (request.rateGiven)
        return std::make_unique<TNotedRun>(host, std::move(run), msg::kRateFromStream);
    return run;
}
