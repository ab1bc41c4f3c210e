#include "run/BareAobRun.h"

#include "disc/AobAudioReader.h"
#include "disc/AobSource.h"
#include "disc/DiscListing.h"
#include "dvd/AobChannels.h"
#include "output/EncoderName.h"
#include "run/FileOutputs.h"
#include "texts/AudioDiscTexts.h"
#include "texts/JsonText.h"
#include "texts/ListingTexts.h"
#include "texts/Messages.h"

#include <algorithm>
#include <filesystem>

namespace {

// The sub-stream of the file's first DVD-Audio audio packet; 0 with the reason in `error` when there is
// none.
uint8_t FirstStream(TMMIOFile& file, std::string& error) {
    TAobFileSource probe(file);
    const uint8_t id = FirstAobSubStream(probe);
    if (id == 0)
        error = probe.Error().empty() ? msg::kBareAobFile : probe.Error();
    file.Rewind();
    return id;
}

// "PCM 24 bit, 96000 Hz, 2 ch (L R)": the speakers from the output's channel mask, in its order.
std::string DescribeStream(uint8_t id, const TAudioSampleFormat& format) {
    std::string speakers;
    for (const TSpeaker speaker :
         {TSpeaker::L, TSpeaker::R, TSpeaker::C, TSpeaker::Lfe, TSpeaker::Ls, TSpeaker::Rs, TSpeaker::S})
        if ((format.channelMask & SpeakerMaskBit(speaker)) != 0) {
            if (!speakers.empty())
                speakers += ' ';
            speakers += SpeakerName(speaker);
        }
    return std::string(id == kAobMlpId ? "MLP " : "PCM ") + std::to_string(format.validBits) + " bit, " +
           std::to_string(format.sampleRate) + " Hz, " + std::to_string(format.channels) + " ch" +
           (speakers.empty() ? "" : " (" + speakers + ")");
}

} // namespace

TRunResult TBareAobRun::Execute() {
    bool overwriteAgreed = false;
    if (!StartRun(request_.input, request_.output, overwriteAgreed))
        return outcome_.Result();
    const std::unique_ptr<TMMIOFile> file = OpenInput(request_.input);
    if (!file)
        return outcome_.Result();
    std::string error;
    const uint8_t id = FirstStream(*file, error);
    if (id == 0) {
        phase_ = Phase::Idle;
        return Refuse(error), outcome_.Result();
    }
    TAobFileSource source(*file);
    TAobAudioReader reader(source, id);
    if (!reader.Start()) {
        phase_ = Phase::Idle;
        return Refuse(reader.Error()), outcome_.Result();
    }
    Convert(reader, source.Size(), overwriteAgreed);
    CloseQuietly(*file);
    return outcome_.Result();
}

// The output created and begun in the stream's format, named after the file it came from.
bool TBareAobRun::Begin(const TAobAudioReader& reader, bool overwriteAgreed) {
    const TAudioSampleFormat& stream = reader.Format();
    // "16 bit - reduced res." and -b 16 reduce as for every input.
    reducer_.emplace(request_.resolution == TResolution::Reduced16, stream.channels, stream.containerBytes,
                     stream.validBits, request_.options.dither);
    const TAudioFormat format{
        stream.channels, stream.sampleRate, static_cast<uint16_t>(reducer_->ValidBits()),
        static_cast<uint16_t>(reducer_->ContainerBytes(stream.containerBytes)), stream.channelMask};
    host_.OutputStarted(request_.output);
    if (!output_.Create(host_, request_.output, overwriteAgreed, outcome_))
        return false;
    output_.BufferAhead();
    std::unique_ptr<TAudioSink> sink;
    if (request_.options.makeSink) {
        sink = request_.options.makeSink();
    } else {
        TOutputMetadata metadata;
        metadata.title = std::filesystem::path(request_.input).stem().string();
        metadata.encoder = EncoderName();
        metadata.userTags = request_.metadata.userTags;
        metadata.preEmphasis = reader.Emphasis();
        sink = FormatOf(request_).makeSink(SinkSettingsOf(request_, false), metadata);
    }
    return output_.Begin(std::move(sink), format);
}

void TBareAobRun::Convert(TAobAudioReader& reader, int64_t size, bool overwriteAgreed) {
    if (!Begin(reader, overwriteAgreed)) {
        FailToBegin();
        CleanUpQuietly();
        return;
    }
    NoteTagsLeftOut(request_, false);
    ResetGauge(std::max<int64_t>(1, size));
    host_.SetBusy(true);
    host_.ShowStopButton(true);
    phase_ = Phase::Converting;
    try {
        std::span<const uint8_t> samples;
        while (outcome_.Running() && reader.Next(samples)) {
            samples = reducer_->Reduce(samples);
            const auto bytes = static_cast<int32_t>(samples.size());
            if (!output_.Sink().Write(samples.data(), bytes)) {
                outcome_.Fail();
                ShowError(msg::kWriteFailed);
                break;
            }
            dataBytes_ += bytes;
            host_.SetGaugeProgress(std::clamp<int64_t>(reader.Demuxer().Position(), 0, size));
            host_.ProcessPendingEvents();
        }
        // An MLP check that failed, a scrambled pack, a read error: the output is not the stream.
        if (outcome_.Running() && !reader.Error().empty()) {
            outcome_.Fail();
            ShowError(reader.Error());
        }
    } catch (const std::exception& error) {
        ShowError(error.what());
        outcome_.Fail();
    }
    outcome_.Complete();
    phase_ = Phase::CleaningUp;
    host_.ShowStopButton(false);
    if (!outcome_.DeleteOutput() && reader.SkippedBytes() > 0)
        host_.ShowNote(msg::SkippedDamaged(reader.SkippedBytes()));
    if (!outcome_.DeleteOutput() && reader.Emphasis())
        host_.ShowNote(msg::kPreEmphasis);
    CleanUpQuietly();
}

void TBareAobRun::CleanUpQuietly() {
    std::exception_ptr closeError;
    if (output_.Exists())
        closeError = output_.Finish(host_, outcome_, dataBytes_, true);
    EndRun(closeError);
}

bool DescribeBareAob(const std::string& input, TListingForm form, std::string& text) {
    const std::unique_ptr<TMMIOFile> file = OpenForListing(input, text);
    if (!file)
        return false;
    std::string error;
    const uint8_t id = FirstStream(*file, error);
    if (id == 0) {
        text = error == msg::kBareAobFile ? listing_text::kBareAobNoAudio : error;
        return error == msg::kBareAobFile;
    }
    TAobFileSource source(*file);
    TAobAudioReader reader(source, id);
    if (!reader.Start()) {
        text = reader.Error();
        return false;
    }
    const TAudioSampleFormat format = reader.Format();
    const bool emphasis = reader.Emphasis();
    // PCM is counted by reading it through, which is about as fast as reading the file.
    std::string length = listing_text::kBareAobLengthUnknown;
    int64_t frames = -1;
    if (id == kAobPcmId) {
        std::span<const uint8_t> samples;
        while (reader.Next(samples)) {
        }
        if (!reader.Error().empty()) {
            text = reader.Error();
            return false;
        }
        frames = reader.Frames();
        length = FormatTicks((frames * 90000 + format.sampleRate / 2) / format.sampleRate);
    }
    if (form == TListingForm::Json) {
        json_text::TObject object;
        object.Text("kind", "dvd-audio-aob")
            .Text("codec", id == kAobMlpId ? "MLP" : "PCM")
            .Number("bits", format.validBits)
            .Number("rate", format.sampleRate)
            .Number("channels", format.channels);
        // MLP's length is known only once it is decoded.
        if (frames >= 0)
            object.Number("samples", frames)
                .Add("seconds",
                     json_text::Seconds((frames * 1000 + format.sampleRate / 2) / format.sampleRate));
        text = object.Flag("pre_emphasis", emphasis).Members();
        return true;
    }
    text = listing_text::BareAob(DescribeStream(id, format), length) +
           (emphasis ? listing_text::kPreEmphasis : "") + "\n";
    return true;
}
