// Opening media files with libavformat. Only headers are read: no stream
// analysis or decoding unless a demuxer leaves a stream's format unknown.
#include "reelio_open.h"

#include "reelio_timecode.h"
#include "reelio_types.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace reelio {
namespace {

// The demuxers of the type table, which alone may describe a file whose type
// the guess did not know.
const std::string& KnownDemuxers() {
    static const std::string list = [] {
        std::string names; // a name twice does no harm
        for (const FileTypeEntry& entry : FileTypes()) {
            names += std::string(names.empty() ? "" : ",") + entry.demuxer;
        }
        return names;
    }();
    return list;
}

uint32_t TypeFromDemuxer(const AVFormatContext* ctx, const std::string& path) {
    // One demuxer reads both QuickTime and MPEG-4 movies: the brand tells them apart.
    const char* name = ctx->iformat->name;
    if (std::strncmp(name, "mov", 3) == 0) {
        const AVDictionaryEntry* brand = av_dict_get(ctx->metadata, "major_brand", nullptr, 0);
        return brand != nullptr && std::strncmp(brand->value, "qt", 2) == 0 ? kRLTypeMOV
                                                                            : kRLTypeMP4;
    }
    // The general image demuxer reads many types: the name decides.
    for (const FileTypeEntry& entry : FileTypes()) {
        if (std::strcmp(entry.demuxer, "image2") != 0 &&
            std::strncmp(name, entry.demuxer, std::strlen(entry.demuxer)) == 0) {
            return entry.code;
        }
    }
    return TypeFromExtension(path);
}

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    const int64_t n = kxr::platform::FileRead(static_cast<SourceFile*>(opaque)->Handle(), buffer,
                                              static_cast<std::size_t>(size));
    if (n < 0) {
        return AVERROR(EIO);
    }
    return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<SourceFile*>(opaque);
    if ((whence & AVSEEK_SIZE) != 0) {
        return static_cast<int64_t>(file->Size());
    }
    kxr::platform::SeekOrigin origin = kxr::platform::SeekOrigin::Begin;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        origin = kxr::platform::SeekOrigin::Current;
        break;
    case SEEK_END:
        origin = kxr::platform::SeekOrigin::End;
        break;
    default:
        return AVERROR(EINVAL);
    }
    const int64_t at = kxr::platform::FileSeek(file->Handle(), offset, origin);
    return at < 0 ? AVERROR(EIO) : at;
}

// Every further file a demuxer would open by name: a reference of the
// container, a neighbour picture, another protocol.
int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// A demuxer reading an open file through our own I/O, so that libavformat
// never opens anything by name: not the file itself (which might have been
// swapped for a FIFO since it was opened) and nothing the file refers to.
class Demuxer {
public:
    Demuxer() = default;
    ~Demuxer() { Close(); }
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;

    // False, with nothing left open, when `format` (or, without one, any
    // known demuxer) cannot read the file.
    bool Open(const std::string& path, SourceFile& file, const AVInputFormat* format,
              uint32_t type) {
        Close();
        constexpr int kBufferBytes = 32 * 1024;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
        if (buffer == nullptr) {
            return false;
        }
        // The reads start where the I/O context believes it is.
        if (kxr::platform::FileSeek(file.Handle(), 0, kxr::platform::SeekOrigin::Begin) != 0 ||
            (io_ = avio_alloc_context(buffer, kBufferBytes, 0, &file, &ReadPacket, nullptr,
                                      &SeekPacket)) == nullptr) {
            av_free(buffer);
            return false;
        }
        ctx_ = avformat_alloc_context();
        if (ctx_ == nullptr) {
            Close();
            return false;
        }
        ctx_->pb = io_;
        ctx_->io_open = &RefuseOpen;
        // Small probes: a header is all we read.
        ctx_->probesize = 64 * 1024;
        ctx_->max_analyze_duration = AV_TIME_BASE / 10;
        if (format == nullptr) {
            ctx_->format_whitelist = av_strdup(KnownDemuxers().c_str());
        }
        // The image demuxer takes the codec from the extension and knows ".tga"
        // alone; the type names it for every Targa name.
        if (type == kRLTypeTGA) {
            ctx_->video_codec_id = AV_CODEC_ID_TARGA;
        }
        AVDictionary* options = nullptr;
        // A name holding '%' is one picture, not a numbered sequence.
        av_dict_set(&options, "pattern_type", "none", 0);
        const int result = avformat_open_input(&ctx_, path.c_str(), format, &options);
        av_dict_free(&options);
        if (result < 0) {
            Close(); // avformat_open_input freed the format context
            return false;
        }
        return true;
    }

    AVFormatContext* Context() const { return ctx_; }

private:
    void Close() {
        if (ctx_ != nullptr) {
            avformat_close_input(&ctx_);
        }
        if (io_ != nullptr) {
            // The context may have replaced its buffer while probing.
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
    }

    AVFormatContext* ctx_ = nullptr;
    AVIOContext* io_ = nullptr;
};

bool StreamsIncomplete(const AVFormatContext* ctx) {
    if (ctx->nb_streams == 0 || (ctx->ctx_flags & AVFMTCTX_NOHEADER) != 0) {
        return true;
    }
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVCodecParameters* par = ctx->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && (par->width <= 0 || par->height <= 0)) {
            return true;
        }
        if (par->codec_type == AVMEDIA_TYPE_AUDIO &&
            (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)) {
            return true;
        }
    }
    return false;
}

// Turns libavformat's tag (first character least significant) around.
uint32_t SwapTag(uint32_t tag) {
    return ((tag & 0xFF) << 24) | ((tag & 0xFF00) << 8) | ((tag >> 8) & 0xFF00) | (tag >> 24);
}

uint32_t CompressionCode(const AVCodecParameters* par) {
    uint32_t tag = par->codec_tag;
    if (tag == 0) {
        const AVCodecTag* const tables[] = {avformat_get_mov_video_tags(),
                                            avformat_get_riff_video_tags(), nullptr};
        tag = av_codec_get_tag(tables, par->codec_id);
    }
    if (tag != 0) {
        return SwapTag(tag);
    }
    return FourCC(avcodec_get_name(par->codec_id)); // made up from the codec's name
}

uint16_t PictureBits(const AVCodecParameters* par) {
    const AVPixFmtDescriptor* descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(par->format));
    if (descriptor != nullptr) {
        const int bits = av_get_bits_per_pixel(descriptor);
        if (bits > 0) {
            return static_cast<uint16_t>(bits);
        }
    }
    if (par->bits_per_coded_sample > 0 && par->bits_per_coded_sample <= 128) {
        return static_cast<uint16_t>(par->bits_per_coded_sample);
    }
    return 24;
}

uint32_t Clamp32(int64_t value) {
    if (value < 0) {
        return 0;
    }
    return value > 0xFFFFFFFELL ? 0xFFFFFFFEu : static_cast<uint32_t>(value);
}

AVRational FrameRate(const AVStream* st) {
    AVRational rate = st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = st->r_frame_rate;
    }
    if (rate.num <= 0 || rate.den <= 0) {
        // Some demuxers (MXF) leave the rate to stream analysis but count
        // time in frames: their time base is one frame.
        const AVRational tb = st->time_base;
        if (tb.num <= 0 || tb.den <= 0 || tb.den > 240 * static_cast<int64_t>(tb.num)) {
            return AVRational{0, 0};
        }
        rate = AVRational{tb.den, tb.num};
    }
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, INT32_MAX);
    return rate;
}

// Length in units of `unit` (1 / frame rate, 1 / sample rate).
std::optional<uint32_t> StreamLength(const AVFormatContext* ctx, const AVStream* st,
                                     AVRational unit, bool countFrames) {
    if (countFrames && st->nb_frames > 0) {
        return Clamp32(st->nb_frames);
    }
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
        return Clamp32(av_rescale_q(st->duration, st->time_base, unit));
    }
    if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0) {
        return Clamp32(av_rescale_q(ctx->duration, AV_TIME_BASE_Q, unit));
    }
    return std::nullopt;
}

void DescribeVideo(const AVFormatContext* ctx, const AVStream* st, bool discrete,
                   StreamDescription& out) {
    const AVCodecParameters* par = st->codecpar;
    PictureFormat picture;
    picture.width = par->width;
    picture.height = par->height;
    picture.bitCount = PictureBits(par);
    picture.compression = CompressionCode(par);
    const uint64_t row =
        (static_cast<uint64_t>(par->width > 0 ? par->width : 0) * picture.bitCount + 31) / 32 * 4;
    picture.pitch = Clamp32(static_cast<int64_t>(row));
    picture.sizeImage = Clamp32(
        static_cast<int64_t>(row * static_cast<uint64_t>(par->height > 0 ? par->height : 0)));
    out.picture = picture;
    if (discrete) {
        // A picture file has one frame and no rate of its own.
        out.length = 1;
        return;
    }
    const AVRational rate = FrameRate(st);
    if (rate.num > 0) {
        out.rate = static_cast<uint32_t>(rate.num);
        out.scale = static_cast<uint32_t>(rate.den);
        const AVRational frame{rate.den, rate.num};
        out.length = StreamLength(ctx, st, frame, true);
        if (st->start_time != AV_NOPTS_VALUE && st->start_time > 0) {
            out.start = Clamp32(av_rescale_q(st->start_time, st->time_base, frame));
        }
    }
}

void DescribeAudio(const AVFormatContext* ctx, const AVStream* st, StreamDescription& out) {
    const AVCodecParameters* par = st->codecpar;
    SoundFormat sound;
    sound.channels = static_cast<uint16_t>(par->ch_layout.nb_channels);
    sound.frequency = static_cast<uint32_t>(par->sample_rate > 0 ? par->sample_rate : 0);
    const AVCodecDescriptor* codec = avcodec_descriptor_get(par->codec_id);
    const bool pcm = codec != nullptr && std::strncmp(codec->name, "pcm_", 4) == 0;
    const int containerBits = av_get_bits_per_sample(par->codec_id);
    if (pcm) {
        sound.audioType = std::strncmp(codec->name, "pcm_f", 5) == 0 ? 3 : 1; // float or integer
    } else {
        const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
        const unsigned tag = av_codec_get_tag(tables, par->codec_id);
        sound.audioType = static_cast<uint16_t>(tag != 0 ? tag : 0xFFFF);
    }
    if (par->bits_per_raw_sample > 0) {
        sound.bits = static_cast<uint16_t>(par->bits_per_raw_sample);
    } else if (pcm && containerBits > 0) {
        sound.bits = static_cast<uint16_t>(containerBits);
    } else {
        sound.bits = 16; // compressed sound
    }
    if (pcm && containerBits > 0) {
        sound.blockAlign = static_cast<uint16_t>(sound.channels * containerBits / 8);
        sound.bytesPerSecond = sound.frequency * sound.blockAlign;
    } else {
        sound.blockAlign = static_cast<uint16_t>(
            par->block_align > 0 ? par->block_align : sound.channels * sound.bits / 8);
        sound.bytesPerSecond = Clamp32(par->bit_rate / 8);
    }
    out.sound = sound;
    if (sound.frequency > 0) {
        out.rate = sound.frequency;
        out.scale = 1;
        out.length = StreamLength(ctx, st, AVRational{1, static_cast<int>(sound.frequency)}, false);
    }
    if (pcm) {
        out.sampleSize = sound.blockAlign;
    }
}

struct TextKey {
    const char* key; // lower case
    int slot;
};

const TextKey kTextKeys[] = {
    {"title", kRLMetaTitle},
    {"material_package_name", kRLMetaTitle},
    {"subject", 10},
    {"category", 11},
    {"keywords", 12},
    {"rating", 13},
    {"comment", kRLMetaComments},
    {"owner", 16},
    {"editor", 17},
    {"author", kRLMetaAuthor},
    {"date", 24}, // Produced
    {"album", kRLMetaAlbum},
    {"artist", kRLMetaArtist},
    {"composer", kRLMetaComposer},
    {"copyright", kRLMetaCopyright},
    {"creation_time", 29}, // CreationData
    {"description", kRLMetaDescription},
    {"synopsis", kRLMetaDescription},
    {"director", 31},
    {"encoded_by", kRLMetaEncodedBy},
    {"genre", kRLMetaGenre},
    {"hostcomputer", 36},
    {"information", 37},
    {"make", 38},
    {"model", 39},
    {"original_artist", 40},
    {"original_format", 41},
    {"performers", 42},
    {"producer", 43},
    {"product_name", 44},
    {"encoder", kRLMetaSoftware},
    {"software", kRLMetaSoftware},
    {"track", kRLMetaTrack},
    {"warning", 48},
    {"url", 49},
    {"product_version", 59},
    {"company_name", 60},
    {"language", kRLMetaLanguage},
    {"reel_name", kRLMetaReel},
    {"reel", kRLMetaReel},
    {"episode_id", 71},
    {"material_package_umid", 83},
    {"umid", 83},
};

void TakeTexts(const AVDictionary* dictionary, MediaDescription& out) {
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        std::string key = entry->key;
        // QuickTime metadata keys carry a reverse-domain prefix.
        const std::size_t dot = key.rfind('.');
        if (dot != std::string::npos && key.compare(0, 4, "com.") == 0) {
            key.erase(0, dot + 1);
        }
        for (char& c : key) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (key == "language" && std::strcmp(entry->value, "und") == 0) {
            continue;
        }
        for (const TextKey& known : kTextKeys) {
            if (key == known.key) {
                out.SetText(known.slot, entry->value);
            }
        }
    }
}

// The start timecode: a "timecode" tag on the container or on any stream
// (a QuickTime timecode track tags itself and its video).
void TakeTimeCode(const AVFormatContext* ctx, const StreamDescription* video,
                  MediaDescription& out) {
    const AVDictionaryEntry* tag = av_dict_get(ctx->metadata, "timecode", nullptr, 0);
    AVRational rate{0, 0};
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        if (tag == nullptr) {
            tag = av_dict_get(st->metadata, "timecode", nullptr, 0);
            if (tag != nullptr) {
                rate = FrameRate(st);
            }
        }
    }
    if (tag == nullptr) {
        return;
    }
    uint32_t fpsRate = static_cast<uint32_t>(rate.num > 0 ? rate.num : 0);
    uint32_t fpsScale = static_cast<uint32_t>(rate.num > 0 ? rate.den : 0);
    if (video != nullptr && video->scale != 0) {
        fpsRate = video->rate;
        fpsScale = video->scale;
    }
    StartTimeCode start;
    if (fpsScale != 0 && TimeCodeTextToFrames(tag->value, fpsRate, fpsScale, &start)) {
        out.SetNumber(kRLTimeCode, start.frames);
        if (start.type != 0) {
            out.SetNumber(kRLTimeCodeType, start.type);
        }
    }
}

} // namespace

bool OpenWithMediaLibrary(const std::string& path, SourceFile& file, uint32_t guessedType,
                          MediaDescription& out) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

    const FileTypeEntry* guessed = FindFileType(guessedType);
    Demuxer demuxer;
    if ((guessed == nullptr ||
         !demuxer.Open(path, file, av_find_input_format(guessed->demuxer), guessedType)) &&
        !demuxer.Open(path, file, nullptr, RL_UNKNOWN)) {
        return false;
    }
    AVFormatContext* const ctx = demuxer.Context();
    const uint32_t type = guessedType != RL_UNKNOWN ? guessedType : TypeFromDemuxer(ctx, path);
    // An MXF picture descriptor gives the stored height (1088 for 1080
    // lines); a short analysis of the first frame's header finds the real one.
    if ((StreamsIncomplete(ctx) || type == kRLTypeMXF) &&
        avformat_find_stream_info(ctx, nullptr) < 0) {
        return false;
    }
    const FileTypeEntry* entry = FindFileType(type);
    const bool discrete = entry != nullptr && (entry->flags & RL_DISCRETE) != 0;
    MediaDescription description;
    description.fileType = type;
    bool usable = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        StreamDescription stream;
        const AVMediaType kind = st->codecpar->codec_type;
        if (kind == AVMEDIA_TYPE_VIDEO && (st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 &&
            st->codecpar->width > 0 && st->codecpar->height > 0) {
            stream.kind = StreamKind::kVideo;
            DescribeVideo(ctx, st, discrete, stream);
            usable = true;
        } else if (kind == AVMEDIA_TYPE_AUDIO && st->codecpar->sample_rate > 0 &&
                   st->codecpar->ch_layout.nb_channels > 0) {
            stream.kind = StreamKind::kAudio;
            DescribeAudio(ctx, st, stream);
            usable = true;
        }
        description.streams.push_back(stream);
    }
    if (!usable) {
        return false;
    }

    TakeTexts(ctx->metadata, description);
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        TakeTexts(ctx->streams[i]->metadata, description);
    }
    if (entry == nullptr && ctx->iformat->long_name != nullptr) {
        description.SetText(kRLMetaFormat, ctx->iformat->long_name);
    }
    const StreamDescription* video = description.FirstOf(StreamKind::kVideo);
    TakeTimeCode(ctx, video, description);
    description.SetNumber(kRLTotalStreams, ctx->nb_streams);
    // A movie's total length is its stream length, which readers already take
    // when the field is absent; only sequences carry a total of their own.
    out = std::move(description);
    return true;
}

} // namespace reelio
