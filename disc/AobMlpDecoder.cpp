// DVD-Audio MLP (sub-stream A1) through libavcodec's lossless MLP decoder, in this file alone.
//
// A packet's private header, from the sub-stream id (byte 0): bytes 1 and 2, then at byte 3 its length L;
// the MLP bytes begin at 4 + L. They run on across packets: libavcodec's MLP parser cuts them into access
// units, which its decoder decodes and checks. The decoder does not fail on every check: a failed lossless
// check, substream parity or checksum, or restart header checksum is only logged. Every warning or error it
// or the parser logs is therefore taken here as a failed check, and the stream ends there.
#include "disc/AobAudioReader.h"

#include "texts/AudioDiscTexts.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <type_traits>
#include <vector>

#include <dlfcn.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
#include <libavutil/version.h>
}

namespace {

// libavcodec is loaded when the first MLP title is decoded, not when the program starts: it brings a
// hundred libraries with it, whose loading would cost every other conversion several times its own start.
struct TAvApi {
    decltype(&::av_frame_alloc) av_frame_alloc = nullptr;
    decltype(&::av_frame_free) av_frame_free = nullptr;
    decltype(&::av_frame_unref) av_frame_unref = nullptr;
    decltype(&::av_log_set_callback) av_log_set_callback = nullptr;
    decltype(&::av_packet_alloc) av_packet_alloc = nullptr;
    decltype(&::av_packet_free) av_packet_free = nullptr;
    decltype(&::av_parser_close) av_parser_close = nullptr;
    decltype(&::av_parser_init) av_parser_init = nullptr;
    decltype(&::av_parser_parse2) av_parser_parse2 = nullptr;
    decltype(&::avcodec_alloc_context3) avcodec_alloc_context3 = nullptr;
    decltype(&::avcodec_find_decoder) avcodec_find_decoder = nullptr;
    decltype(&::avcodec_free_context) avcodec_free_context = nullptr;
    decltype(&::avcodec_open2) avcodec_open2 = nullptr;
    decltype(&::avcodec_receive_frame) avcodec_receive_frame = nullptr;
    decltype(&::avcodec_send_packet) avcodec_send_packet = nullptr;
    bool loaded = false;
};

const TAvApi& Av() {
    static const TAvApi api = [] {
        TAvApi loading;
        void* codec =
            ::dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
        void* util = ::dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
        if (codec == nullptr || util == nullptr)
            return loading;
        const auto find = [codec, util](auto& function, const char* name) {
            void* symbol = ::dlsym(codec, name);
            if (symbol == nullptr)
                symbol = ::dlsym(util, name);
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
            return symbol != nullptr;
        };
        loading.loaded = find(loading.av_frame_alloc, "av_frame_alloc") &&
                         find(loading.av_frame_free, "av_frame_free") &&
                         find(loading.av_frame_unref, "av_frame_unref") &&
                         find(loading.av_log_set_callback, "av_log_set_callback") &&
                         find(loading.av_packet_alloc, "av_packet_alloc") &&
                         find(loading.av_packet_free, "av_packet_free") &&
                         find(loading.av_parser_close, "av_parser_close") &&
                         find(loading.av_parser_init, "av_parser_init") &&
                         find(loading.av_parser_parse2, "av_parser_parse2") &&
                         find(loading.avcodec_alloc_context3, "avcodec_alloc_context3") &&
                         find(loading.avcodec_find_decoder, "avcodec_find_decoder") &&
                         find(loading.avcodec_free_context, "avcodec_free_context") &&
                         find(loading.avcodec_open2, "avcodec_open2") &&
                         find(loading.avcodec_receive_frame, "avcodec_receive_frame") &&
                         find(loading.avcodec_send_packet, "avcodec_send_packet");
        return loading;
    }();
    return api;
}

} // namespace

namespace {

class TAobMlpPacketDecoder;

// The decoder whose libavcodec call is under way on this thread: its context's messages are its own.
thread_local TAobMlpPacketDecoder* gCalling = nullptr;

class TAobMlpPacketDecoder : public TAobPacketDecoder {
public:
    TAobMlpPacketDecoder();
    ~TAobMlpPacketDecoder() override;

    bool Decode(const TAudioPacket& packet, std::span<const uint8_t>& samples, std::string& error) override;
    bool Finish(std::span<const uint8_t>& samples, std::string& error) override;
    const TAudioSampleFormat& Format() const override { return format_; }
    int64_t DamagedBytes() const override { return damaged_; }

    // A message libavcodec logged for this decoder's context at warning level or worse.
    void Logged(void* context, const char* message) {
        if (context == context_ && failure_.empty()) {
            failure_ = message;
            while (!failure_.empty() && (failure_.back() == '\n' || failure_.back() == '.'))
                failure_.pop_back();
        }
    }

private:
    // Parses `size` bytes (nullptr at the end) into access units and decodes them.
    bool Feed(const uint8_t* data, size_t size, std::string& error);
    bool Receive(std::string& error);
    bool Append(const AVFrame& frame, std::string& error);
    bool Fail(const std::string& message, std::string& error) {
        error = message;
        return false;
    }

    const AVCodec* codec_ = nullptr;
    AVCodecContext* context_ = nullptr;
    AVCodecParserContext* parser_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> block_;
    TAudioSampleFormat format_;
    bool haveFormat_ = false;
    std::string failure_;
    int64_t damaged_ = 0;
};

void LogCallback(void* context, int level, const char* format, va_list arguments) {
    if (level > AV_LOG_WARNING || gCalling == nullptr || context == nullptr)
        return;
    char message[512];
    std::vsnprintf(message, sizeof message, format, arguments);
    gCalling->Logged(context, message);
}

// Marks the decoder as the one calling libavcodec for as long as it lives.
class TCalling {
public:
    explicit TCalling(TAobMlpPacketDecoder* decoder) : previous_(gCalling) { gCalling = decoder; }
    ~TCalling() { gCalling = previous_; }
    TCalling(const TCalling&) = delete;
    TCalling& operator=(const TCalling&) = delete;

private:
    TAobMlpPacketDecoder* previous_;
};

TAobMlpPacketDecoder::TAobMlpPacketDecoder() {
    if (!Av().loaded)
        return;
    // libavcodec's own messages go nowhere: every failure reaches the user as one of ours.
    static std::once_flag installed;
    std::call_once(installed, [] { Av().av_log_set_callback(LogCallback); });
    codec_ = Av().avcodec_find_decoder(AV_CODEC_ID_MLP);
    if (codec_ != nullptr)
        context_ = Av().avcodec_alloc_context3(codec_);
    if (context_ != nullptr && Av().avcodec_open2(context_, codec_, nullptr) < 0) {
        Av().avcodec_free_context(&context_);
        context_ = nullptr;
    }
    parser_ = Av().av_parser_init(AV_CODEC_ID_MLP);
    packet_ = Av().av_packet_alloc();
    frame_ = Av().av_frame_alloc();
}

TAobMlpPacketDecoder::~TAobMlpPacketDecoder() {
    if (!Av().loaded)
        return;
    Av().av_frame_free(&frame_);
    Av().av_packet_free(&packet_);
    if (parser_ != nullptr)
        Av().av_parser_close(parser_);
    Av().avcodec_free_context(&context_);
}

bool TAobMlpPacketDecoder::Decode(const TAudioPacket& packet, std::span<const uint8_t>& samples,
                                  std::string& error) {
    samples = {};
    block_.clear();
    if (context_ == nullptr || parser_ == nullptr || packet_ == nullptr || frame_ == nullptr)
        return Fail(msg::AudioMlpRefused(Av().loaded ? "no MLP decoder" : "libavcodec could not be loaded"),
                    error);
    const size_t size = packet.size > 0 ? static_cast<size_t>(packet.size) : 0;
    if (size < 4 || 4 + size_t{packet.data[3]} > size) {
        damaged_ += static_cast<int64_t>(size);
        return true;
    }
    const size_t start = 4 + size_t{packet.data[3]};
    if (!Feed(packet.data + start, size - start, error))
        return false;
    samples = block_;
    return true;
}

bool TAobMlpPacketDecoder::Finish(std::span<const uint8_t>& samples, std::string& error) {
    samples = {};
    block_.clear();
    if (context_ == nullptr || parser_ == nullptr)
        return true;
    if (!Feed(nullptr, 0, error))
        return false;
    samples = block_;
    return true;
}

bool TAobMlpPacketDecoder::Feed(const uint8_t* data, size_t size, std::string& error) {
    const bool flushing = data == nullptr;
    if (!flushing && size == 0)
        return true; // an empty input would end the parser's stream
    const TCalling calling(this);
    // The parser may hand out access units inside the input: the decoder reads whole words, so the input
    // has the padding libavcodec asks for.
    input_.assign(data, data + size);
    input_.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const uint8_t* in = input_.data();
    int left = static_cast<int>(size);
    int stalls = 0;
    do {
        uint8_t* unit = nullptr;
        int unitSize = 0;
        const int used = Av().av_parser_parse2(parser_, context_, &unit, &unitSize, flushing ? nullptr : in,
                                               left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0 || !failure_.empty())
            return Fail(msg::AudioMlpFailed(failure_.empty() ? "the parser failed" : failure_), error);
        in += used;
        left -= used;
        if (unitSize > 0) {
            packet_->data = unit;
            packet_->size = unitSize;
            const int sent = Av().avcodec_send_packet(context_, packet_);
            if (sent < 0 || !failure_.empty())
                return Fail(msg::AudioMlpFailed(failure_.empty() ? "an access unit was refused" : failure_),
                            error);
            if (!Receive(error))
                return false;
        }
        if (flushing && unitSize == 0)
            break;
        // The parser may take nothing on a call while it finds its bearings, but not call after call.
        stalls = used == 0 && unitSize == 0 ? stalls + 1 : 0;
        if (stalls > 16)
            return Fail(msg::AudioMlpFailed("the parser took no bytes"), error);
    } while (left > 0 || flushing);
    if (flushing) {
        Av().avcodec_send_packet(context_, nullptr);
        if (!Receive(error))
            return false;
    }
    return true;
}

bool TAobMlpPacketDecoder::Receive(std::string& error) {
    for (;;) {
        const int got = Av().avcodec_receive_frame(context_, frame_);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (got < 0 || !failure_.empty())
            return Fail(
                msg::AudioMlpFailed(failure_.empty() ? "an access unit could not be decoded" : failure_),
                error);
        const bool appended = Append(*frame_, error);
        Av().av_frame_unref(frame_);
        if (!appended)
            return false;
    }
}

bool TAobMlpPacketDecoder::Append(const AVFrame& frame, std::string& error) {
    TAudioSampleFormat format;
    format.channels = static_cast<uint16_t>(frame.ch_layout.nb_channels);
    format.sampleRate = static_cast<uint32_t>(frame.sample_rate);
    format.validBits = static_cast<uint16_t>(context_->bits_per_raw_sample);
    format.containerBytes = format.validBits == 16 ? 2 : 3;
    uint64_t mask = frame.ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame.ch_layout.u.mask : 0;
    // The disc's Ls and Rs, which libavcodec names side channels, are back channels here as for PCM: the
    // same disc layout gets one mask whichever coding carries it. The channels keep their order.
    if ((mask & (AV_CH_SIDE_LEFT | AV_CH_SIDE_RIGHT)) != 0 &&
        (mask & (AV_CH_BACK_LEFT | AV_CH_BACK_RIGHT | AV_CH_BACK_CENTER)) == 0)
        mask = (mask & ~uint64_t{AV_CH_SIDE_LEFT | AV_CH_SIDE_RIGHT}) |
               ((mask & AV_CH_SIDE_LEFT) ? AV_CH_BACK_LEFT : 0) |
               ((mask & AV_CH_SIDE_RIGHT) ? AV_CH_BACK_RIGHT : 0);
    format.channelMask = static_cast<uint32_t>(mask);
    const bool packed16 = frame.format == AV_SAMPLE_FMT_S16;
    const bool packed32 = frame.format == AV_SAMPLE_FMT_S32;
    if (format.channels == 0 || (!packed16 && !packed32) || (packed16 != (format.validBits == 16)) ||
        (format.validBits != 16 && format.validBits != 20 && format.validBits != 24))
        return Fail(msg::AudioMlpRefused("an unexpected sample layout"), error);
    if (!haveFormat_) {
        format_ = format;
        haveFormat_ = true;
    } else if (!(format == format_)) {
        return Fail(msg::kAudioFormatChanged, error);
    }
    const size_t samples = static_cast<size_t>(frame.nb_samples) * format.channels;
    const size_t at = block_.size();
    block_.resize(at + samples * format.containerBytes);
    uint8_t* out = block_.data() + at;
    if (packed16) {
        const auto* in = reinterpret_cast<const int16_t*>(frame.data[0]);
        for (size_t s = 0; s < samples; ++s) {
            *out++ = static_cast<uint8_t>(in[s]);
            *out++ = static_cast<uint8_t>(in[s] >> 8);
        }
        return true;
    }
    // 24 bits at the top of 32, and for 20 bits the next four zero too: anything below the stream's bits
    // would not be its samples.
    const uint32_t below = format.validBits == 24 ? 0xFFu : 0xFFFu;
    const auto* in = reinterpret_cast<const uint32_t*>(frame.data[0]);
    for (size_t s = 0; s < samples; ++s) {
        if ((in[s] & below) != 0)
            return Fail(msg::AudioMlpFailed("samples with more bits than the stream states"), error);
        *out++ = static_cast<uint8_t>(in[s] >> 8);
        *out++ = static_cast<uint8_t>(in[s] >> 16);
        *out++ = static_cast<uint8_t>(in[s] >> 24);
    }
    return true;
}

} // namespace

std::unique_ptr<TAobPacketDecoder> MakeAobMlpPacketDecoder() {
    return std::make_unique<TAobMlpPacketDecoder>();
}
