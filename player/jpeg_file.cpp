#include "jpeg_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace qn_player {
namespace {

// Pictures carry video levels (Y 16-235, chroma 16-240) while a JPEG file
// holds full-range samples; without the stretch every viewer would show the
// snapshot washed out.
struct LevelTables {
    std::array<uint8_t, 256> luma{};
    std::array<uint8_t, 256> chroma{};
    LevelTables()
    {
        for (int v = 0; v < 256; ++v) {
            const int y = ((v - 16) * 255 * 2 + 219) / (2 * 219);
            const int c = 128 + ((v - 128) * 255 * 2 + (v >= 128 ? 224 : -224)) / (2 * 224);
            luma[v] = static_cast<uint8_t>(std::clamp(v < 16 ? 0 : y, 0, 255));
            chroma[v] = static_cast<uint8_t>(std::clamp(c, 0, 255));
        }
    }
};

const LevelTables& level_tables()
{
    static const LevelTables tables;
    return tables;
}

void copy_row(const uint8_t* from, uint8_t* to, int bytes, const std::array<uint8_t, 256>& table)
{
    for (int i = 0; i < bytes; ++i) to[i] = table[from[i]];
}

// Everything one write makes, freed in one place whatever step failed.
struct JpegWrite {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    bool file_open = false;
    ~JpegWrite()
    {
        if (file_open) avio_closep(&format->pb);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_free_context(format);
    }
};

bool fill_frame(const _vm_screen& picture, AVFrame* frame)
{
    const bool swapped = picture.format == VM_FMT_YVU420;
    const auto& tables = level_tables();
    for (int plane = 0; plane < 3; ++plane) {
        const int source_plane = (swapped && plane > 0) ? 3 - plane : plane;
        const uint8_t* from = picture.planar.plane[source_plane];
        const int from_stride = picture.planar.stride[source_plane];
        const int rows = plane == 0 ? picture.height : picture.height / 2;
        const int frame_rows = plane == 0 ? frame->height : AV_CEIL_RSHIFT(frame->height, 1);
        const int frame_width = plane == 0 ? frame->width : AV_CEIL_RSHIFT(frame->width, 1);
        const int bytes = std::min({plane == 0 ? picture.width : picture.width / 2, frame_width,
                                    from_stride, frame->linesize[plane]});
        const auto& table = plane == 0 ? tables.luma : tables.chroma;
        for (int r = 0; r < frame_rows; ++r) {
            // An odd-sized picture has one chroma row and column fewer than the
            // encoder wants: the last ones repeat.
            const int source_row = std::min(r, rows - 1);
            uint8_t* to = frame->data[plane] + int64_t(r) * frame->linesize[plane];
            copy_row(from + int64_t(source_row) * from_stride, to, bytes, table);
            if (bytes > 0) std::fill(to + bytes, to + frame_width, to[bytes - 1]);
        }
    }
    return true;
}

bool encode_into(JpegWrite& w, const _vm_screen& picture, const std::string& url, int quality)
{
    if (avformat_alloc_output_context2(&w.format, nullptr, "mjpeg", url.c_str()) < 0 || !w.format) return false;
    const AVCodec* encoder = avcodec_find_encoder(w.format->oformat->video_codec);
    if (!encoder) return false;
    AVStream* stream = avformat_new_stream(w.format, nullptr);
    w.codec = avcodec_alloc_context3(encoder);
    if (!stream || !w.codec) return false;
    w.codec->codec_type = AVMEDIA_TYPE_VIDEO;
    w.codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
    w.codec->width = picture.width;
    w.codec->height = picture.height;
    w.codec->time_base = AVRational{1, 25};
    // A fixed quantiser: the rate control's default bit budget would spend a
    // few kilobytes on a picture that the user wants to keep.
    const int qscale = 2 + (100 - std::clamp(quality, 1, 100)) * 29 / 99;
    w.codec->flags |= AV_CODEC_FLAG_QSCALE;
    w.codec->global_quality = FF_QP2LAMBDA * qscale;
    if (avcodec_open2(w.codec, encoder, nullptr) < 0) return false;
    if (avcodec_parameters_from_context(stream->codecpar, w.codec) < 0) return false;
    stream->time_base = w.codec->time_base;

    w.frame = av_frame_alloc();
    w.packet = av_packet_alloc();
    if (!w.frame || !w.packet) return false;
    w.frame->format = w.codec->pix_fmt;
    w.frame->width = picture.width;
    w.frame->height = picture.height;
    w.frame->pts = 0;
    if (av_frame_get_buffer(w.frame, 0) < 0 || !fill_frame(picture, w.frame)) return false;

    if (avio_open(&w.format->pb, url.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    w.file_open = true;
    if (avformat_write_header(w.format, nullptr) < 0) return false;
    if (avcodec_send_frame(w.codec, w.frame) < 0 || avcodec_send_frame(w.codec, nullptr) < 0) return false;
    bool wrote = false;
    while (avcodec_receive_packet(w.codec, w.packet) == 0) {
        w.packet->stream_index = stream->index;
        av_packet_rescale_ts(w.packet, w.codec->time_base, stream->time_base);
        if (av_write_frame(w.format, w.packet) < 0) return false;
        wrote = true;
        av_packet_unref(w.packet);
    }
    return wrote && av_write_trailer(w.format) == 0;
}

bool writable_picture(const _vm_screen& p)
{
    if (p.format != VM_FMT_YUV420 && p.format != VM_FMT_YVU420) return false;
    if (p.width < 2 || p.height < 2 || p.width > 65500 || p.height > 65500) return false;
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? p.width : p.width / 2;
        if (!p.planar.plane[plane] || p.planar.stride[plane] < width) return false;
    }
    return true;
}

}  // namespace

bool write_jpeg_file(const _vm_screen& picture, const char* path, int quality)
{
    if (!path || !*path || !writable_picture(picture)) return false;
    // The file protocol by name, so that a colon in the path is never taken
    // for another protocol.
    const std::string url = std::string("file:") + path;
    bool written;
    {
        JpegWrite w;
        written = encode_into(w, picture, url, quality);
        if (!written && w.file_open) {
            avio_closep(&w.format->pb);
            w.file_open = false;
            std::remove(path);
        }
    }
    return written;
}

}  // namespace qn_player
