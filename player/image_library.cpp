// The picture library of the program: pictures in one block, exact copies,
// JPEG files.
#include <cctype>
#include <cstring>
#include <string>

#include "jpeg_file.h"
#include "picture.h"
#include "plane_copy.h"
#include "qn_imageprocess.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

bool is_yuv420(int format) { return format == VM_FMT_YUV420 || format == VM_FMT_YVU420; }

// Bytes of pixels in one row of a plane, padding left out.
int pixel_bytes_per_row(const _vm_screen& p, int plane)
{
    if (!vm_is_planar(p.format)) return p.width * vm_packed_bytes_per_pixel(p.format);
    return plane == 0 ? p.width : p.width / 2;
}

bool has_extension(const char* path, const char* extension)
{
    const size_t n = std::strlen(path), e = std::strlen(extension);
    if (n <= e) return false;
    for (size_t i = 0; i < e; ++i)
        if (std::tolower(static_cast<unsigned char>(path[n - e + i])) != extension[i]) return false;
    return true;
}

// Everything one read makes, freed in one place.
struct ImageRead {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* decoded = nullptr;
    AVFrame* converted = nullptr;
    SwsContext* scaler = nullptr;
    ~ImageRead()
    {
        sws_freeContext(scaler);
        av_frame_free(&converted);
        av_frame_free(&decoded);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

bool decode_first_picture(ImageRead& r, const std::string& url)
{
    if (avformat_open_input(&r.format, url.c_str(), nullptr, nullptr) < 0) return false;
    if (avformat_find_stream_info(r.format, nullptr) < 0) return false;
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(r.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder) return false;
    r.codec = avcodec_alloc_context3(decoder);
    r.packet = av_packet_alloc();
    r.decoded = av_frame_alloc();
    if (!r.codec || !r.packet || !r.decoded) return false;
    if (avcodec_parameters_to_context(r.codec, r.format->streams[stream]->codecpar) < 0) return false;
    if (avcodec_open2(r.codec, decoder, nullptr) < 0) return false;
    bool flushed = false;
    for (;;) {
        const int got = avcodec_receive_frame(r.codec, r.decoded);
        if (got == 0) return r.decoded->width > 0 && r.decoded->height > 0;
        if (got != AVERROR(EAGAIN) || flushed) return false;
        const int read = av_read_frame(r.format, r.packet);
        if (read < 0) {
            flushed = true;
            if (avcodec_send_packet(r.codec, nullptr) < 0) return false;
            continue;
        }
        const bool ours = r.packet->stream_index == stream;
        const int sent = ours ? avcodec_send_packet(r.codec, r.packet) : 0;
        av_packet_unref(r.packet);
        if (sent < 0 && sent != AVERROR(EAGAIN)) return false;
    }
}

bool convert_to_yuv420(ImageRead& r)
{
    const AVFrame* d = r.decoded;
    r.converted = av_frame_alloc();
    if (!r.converted) return false;
    r.converted->format = AV_PIX_FMT_YUV420P;
    r.converted->width = d->width;
    r.converted->height = d->height;
    if (av_frame_get_buffer(r.converted, 0) < 0) return false;
    r.scaler = sws_getContext(d->width, d->height, static_cast<AVPixelFormat>(d->format), d->width, d->height,
                              AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!r.scaler) return false;
    return sws_scale(r.scaler, d->data, d->linesize, 0, d->height, r.converted->data, r.converted->linesize) ==
           d->height;
}

}  // namespace

extern "C" {

int qnCreateImage(_vm_screen** picture, int width, int height, int format)
{
    if (!picture) return QN_IMG_ERR_ARGUMENT;
    _vm_screen* made = nullptr;
    const int result = qn_dewarp::picture_allocate(&made, width, height, format);
    if (result != 0) return result == 4 ? QN_IMG_ERR_MEMORY : QN_IMG_ERR_ARGUMENT;
    *picture = made;
    return QN_IMG_OK;
}

int qnReleaseImage(_vm_screen** picture)
{
    if (!picture || !*picture) return QN_IMG_ERR_ARGUMENT;
    qn_dewarp::picture_release(picture);
    return QN_IMG_OK;
}

int qnChangeFormat(const _vm_screen* source, _vm_screen* destination)
{
    if (!source || !destination || source == destination) return QN_IMG_ERR_ARGUMENT;
    if (source->width != destination->width || source->height != destination->height ||
        source->format != destination->format || !vm_is_known_format(source->format) || source->width <= 0 ||
        source->height <= 0)
        return QN_IMG_ERR_ARGUMENT;
    const int planes = vm_is_planar(source->format) ? 3 : 1;
    for (int p = 0; p < planes; ++p) {
        const int bytes = pixel_bytes_per_row(*source, p);
        if (!vm_plane(source, p) || !vm_plane(destination, p) || vm_stride(source, p) < bytes ||
            vm_stride(destination, p) < bytes)
            return QN_IMG_ERR_ARGUMENT;
    }
    for (int p = 0; p < planes; ++p) {
        const int bytes = pixel_bytes_per_row(*source, p);
        const qn_player::PlaneView view{vm_plane(source, p), vm_stride(source, p), bytes,
                                        vm_plane_rows(source->format, source->height, p)};
        qn_player::copy_plane(view, vm_plane(destination, p), vm_stride(destination, p), bytes, view.rows);
    }
    return QN_IMG_OK;
}

int qnSaveImage(const char* path, const _vm_screen* picture, const int* parameters)
{
    if (!path || !picture || !is_yuv420(picture->format)) return QN_IMG_ERR_ARGUMENT;
    if (!has_extension(path, ".jpg") && !has_extension(path, ".jpeg")) return QN_IMG_ERR_ARGUMENT;
    const int quality = parameters ? parameters[0] : qn_player::kBestJpegQuality;
    return qn_player::write_jpeg_file(*picture, path, quality) ? QN_IMG_OK : QN_IMG_ERR_FILE;
}

_vm_screen* qnOpenImage(const char* path, int format)
{
    if (!path || !*path || !is_yuv420(format)) return nullptr;
    ImageRead read;
    if (!decode_first_picture(read, std::string("file:") + path) || !convert_to_yuv420(read)) return nullptr;
    _vm_screen* picture = nullptr;
    if (qnCreateImage(&picture, read.decoded->width, read.decoded->height, format) != QN_IMG_OK) return nullptr;
    qn_player::Yuv420Source source;
    for (int p = 0; p < 3; ++p) {
        source.data[p] = read.converted->data[p];
        source.stride[p] = read.converted->linesize[p];
    }
    source.width = read.converted->width;
    source.height = read.converted->height;
    qn_player::copy_into_picture(source, *picture);
    return picture;
}

}  // extern "C"
