// Raw DVD LPCM, or a WAVE file whose byte pairs a ripper swapped: anything no other kind takes.
#include "run/InputKindRows.h"

#include "engine/SampleGroup.h"
#include "run/ConversionRun.h"
#include "run/FileOutputs.h"
#include "run/Run.h"
#include "texts/JsonText.h"
#include "texts/ListingTexts.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"
#include "wave/WaveScanner.h"

namespace {

class TRawOrWaveRun final : public TRun {
public:
    explicit TRawOrWaveRun(std::unique_ptr<TConversionRun> run) : run_(std::move(run)) {}
    TRunResult Execute() override { return run_->Execute(); }
    TRunControl& Control() override { return *run_; }
    int64_t GaugeBytesPerStep() const override { return kGroupBytes; }

private:
    std::unique_ptr<TConversionRun> run_;
};

TProbe TakesAnything(const std::string&, std::span<const uint8_t>) {
    return TProbe::Yes;
}

const char* SelectionRefusal(const TSelection& selection) {
    if (selection.title > 0 || selection.chapters)
        return msg::kDiscOptionsOnly;
    if (selection.track > 0)
        return msg::kTrackOptionOnly;
    return nullptr;
}

int64_t Groups(int64_t bytes) {
    return bytes > 0 ? bytes / kGroupBytes : 0;
}

// Two channels of 20-bit samples, two sample times to a group.
std::string JsonListing(int64_t offset, int64_t groups) {
    json_text::TObject listing;
    listing.Text("kind", offset == 0 ? "raw" : "wave");
    if (offset > 0)
        listing.Number("data_offset", offset);
    return listing.Number("bits", 20)
        .Number("channels", 2)
        .Number("groups", groups)
        .Number("samples", 2 * groups)
        .Members();
}

bool Describe(const std::string& input, TListingForm form, std::string& text) {
    const std::unique_ptr<TMMIOFile> file = OpenForListing(input, text);
    if (!file)
        return false;
    TWaveHeader header{};
    bool readFailed = false;
    const int64_t offset = FindWaveData(*file, header, readFailed);
    if (readFailed) {
        text = msg::kReadFailed;
        return false;
    }
    const int64_t size = file->SeekToEnd();
    if (form == TListingForm::Json) {
        text = JsonListing(offset, Groups(size - offset));
        return true;
    }
    text = (offset == 0 ? listing_text::RawInput(Groups(size))
                        : listing_text::SwappedWave(offset, Groups(size - offset))) +
           "\n";
    return true;
}

std::unique_ptr<TRun> MakeRawRun(TRunHost&, const TRunRequest& request, TInputPlan&,
                                 const TRawRunFactory& rawRun) {
    return std::make_unique<TRawOrWaveRun>(rawRun(request));
}

} // namespace

const TInputKindRow kRawOrWaveKind = {
    .id = "raw",
    .probe = TakesAnything,
    .brokenPromise = nullptr,
    .offersTitles = false,
    .offersTracks = false,
    .takesInputFormat = true,
    .namesOwnOutputs = false,
    .selectionRefusal = SelectionRefusal,
    .describe = Describe,
    .proposeOutput = ProposeOutputName,
    .plan = PlanFileOutput,
    .makeRun = MakeRawRun,
};
