// Pictures with FFmpeg, in-process: libavformat demuxes, libavcodec decodes
// and encodes (mjpeg), libswscale converts and scales.
#include "picture.h"

#include "platform/kxr_file.h"

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace kxrengine {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* p) const { avformat_close_input(&p); }
};
struct CodecCloser {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameCloser {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleCloser {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using FramePtr = std::unique_ptr<AVFrame, FrameCloser>;
using PacketPtr = std::unique_ptr<AVPacket, PacketCloser>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleCloser>;

std::string AvError(const char* what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

void QuietLibrary() {
    // The engine reports failures itself; the library's own chatter would
    // land on the host's console.
    static const bool once = [] {
        av_log_set_level(AV_LOG_ERROR);
        return true;
    }();
    (void)once;
}

bool ToRgb(const AVFrame* frame, int width, int height, RgbImage* out, std::string* error) {
    ScalePtr scaler(sws_getContext(frame->width, frame->height,
                                   static_cast<AVPixelFormat>(frame->format), width, height,
                                   AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler) {
        *error = "no conversion from the frame's pixel format";
        return false;
    }
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    uint8_t* planes[4] = {out->pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {width * 3, 0, 0, 0};
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return true;
}

} // namespace

bool DecodeFrame(const std::string& path, int32_t frameIndex, RgbImage* out, std::string* error) {
    // libavformat opens by name and would wait in the open of a FIFO or a
    // device: it gets regular files only.
    kxr::platform::FileStatus status;
    if (!kxr::platform::QueryFileStatus(path.c_str(), &status) ||
        status.kind != kxr::platform::FileKind::Regular) {
        *error = "not a regular file";
        return false;
    }
    QuietLibrary();
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        *error = AvError("cannot open", rc);
        return false;
    }
    InputPtr input(raw);
    input->probesize = 1 << 20;
    if ((rc = avformat_find_stream_info(input.get(), nullptr)) < 0) {
        *error = AvError("no stream information", rc);
        return false;
    }
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (index < 0 || decoder == nullptr) {
        *error = "no video stream";
        return false;
    }
    AVStream* stream = input->streams[index];
    CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0) {
        *error = "cannot set up the decoder";
        return false;
    }
    if ((rc = avcodec_open2(codec.get(), decoder, nullptr)) < 0) {
        *error = AvError("cannot open the decoder", rc);
        return false;
    }

    // The wanted frame's time stamp, counted from the stream's start.
    int64_t target = AV_NOPTS_VALUE;
    if (frameIndex > 0) {
        AVRational fps =
            stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
        if (fps.num > 0 && fps.den > 0) {
            target = av_rescale_q(frameIndex, av_inv_q(fps), stream->time_base);
            if (stream->start_time != AV_NOPTS_VALUE) {
                target += stream->start_time;
            }
            av_seek_frame(input.get(), index, target, AVSEEK_FLAG_BACKWARD);
        }
    }

    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    FramePtr kept(av_frame_alloc());
    if (!packet || !frame || !kept) {
        *error = "out of memory";
        return false;
    }
    bool have = false;
    bool done = false;
    bool draining = false;
    while (!done) {
        if (!draining) {
            rc = av_read_frame(input.get(), packet.get());
            if (rc < 0) {
                draining = true;
                avcodec_send_packet(codec.get(), nullptr);
            } else {
                if (packet->stream_index == index) {
                    avcodec_send_packet(codec.get(), packet.get());
                }
                av_packet_unref(packet.get());
            }
        }
        while (true) {
            rc = avcodec_receive_frame(codec.get(), frame.get());
            if (rc == AVERROR(EAGAIN)) {
                break;
            }
            if (rc < 0) {
                done = true;
                break;
            }
            av_frame_unref(kept.get());
            av_frame_move_ref(kept.get(), frame.get());
            have = true;
            const int64_t stamp = kept->best_effort_timestamp;
            if (target == AV_NOPTS_VALUE || stamp == AV_NOPTS_VALUE || stamp >= target) {
                done = true;
                break;
            }
        }
        if (draining && rc == AVERROR(EAGAIN)) {
            done = true;
        }
    }
    if (!have) {
        *error = "no frame decoded";
        return false;
    }
    // Beyond the end the last decoded frame stands in.
    return ToRgb(kept.get(), kept->width, kept->height, out, error);
}

bool ScaleImage(const RgbImage& in, int width, int height, RgbImage* out, std::string* error) {
    if (in.width <= 0 || in.height <= 0 || width <= 0 || height <= 0) {
        *error = "empty picture";
        return false;
    }
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        *error = "out of memory";
        return false;
    }
    frame->width = in.width;
    frame->height = in.height;
    frame->format = AV_PIX_FMT_RGB24;
    frame->data[0] = const_cast<uint8_t*>(in.pixels.data());
    frame->linesize[0] = in.width * 3;
    return ToRgb(frame.get(), width, height, out, error);
}

bool EncodeJpeg(const RgbImage& in, std::vector<uint8_t>* out, std::string* error) {
    QuietLibrary();
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (encoder == nullptr) {
        *error = "no JPEG encoder";
        return false;
    }
    // 4:2:0 wants even sizes.
    const int width = in.width & ~1;
    const int height = in.height & ~1;
    if (width <= 0 || height <= 0) {
        *error = "picture too small";
        return false;
    }
    CodecPtr codec(avcodec_alloc_context3(encoder));
    if (!codec) {
        *error = "out of memory";
        return false;
    }
    codec->width = width;
    codec->height = height;
    codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
    codec->time_base = AVRational{1, 25};
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    codec->global_quality = FF_QP2LAMBDA * 4;
    int rc = avcodec_open2(codec.get(), encoder, nullptr);
    if (rc < 0) {
        *error = AvError("cannot open the JPEG encoder", rc);
        return false;
    }
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        *error = "out of memory";
        return false;
    }
    frame->width = width;
    frame->height = height;
    frame->format = AV_PIX_FMT_YUVJ420P;
    frame->quality = codec->global_quality;
    frame->pts = 0;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        *error = "out of memory";
        return false;
    }
    ScalePtr scaler(sws_getContext(in.width, in.height, AV_PIX_FMT_RGB24, width, height,
                                   AV_PIX_FMT_YUVJ420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler) {
        *error = "no conversion to the JPEG pixel format";
        return false;
    }
    const uint8_t* planes[4] = {in.pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {in.width * 3, 0, 0, 0};
    sws_scale(scaler.get(), planes, strides, 0, in.height, frame->data, frame->linesize);

    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        *error = "out of memory";
        return false;
    }
    if ((rc = avcodec_send_frame(codec.get(), frame.get())) < 0) {
        *error = AvError("cannot encode", rc);
        return false;
    }
    avcodec_send_frame(codec.get(), nullptr);
    out->clear();
    while ((rc = avcodec_receive_packet(codec.get(), packet.get())) >= 0) {
        out->insert(out->end(), packet->data, packet->data + packet->size);
        av_packet_unref(packet.get());
    }
    if (out->empty()) {
        *error = "the encoder gave no picture";
        return false;
    }
    return true;
}

} // namespace kxrengine
