#include "engine/run/FFPicturePrep.h"

#include "engine/run/FFFrameHook.h"
#include "engine/FFLog.h"
#include "engine/run/FFRunHooks.h"

#include <algorithm>
#include <cstring>

namespace mw {

namespace {

bool Deinterlaceable(const AVPixFmtDescriptor* desc) {
    if (!desc || desc->nb_components == 0 ||
        (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)))
        return false;
    for (int i = 0; i < desc->nb_components; ++i) {
        const AVComponentDescriptor& c = desc->comp[i];
        if (c.depth != 8 || c.step != 1 || c.shift != 0 || c.offset != 0) return false;
    }
    return true;
}

// Row index mirrored at the edges (keeps the field), then kept inside the plane.
int Mirror(int y, int height) {
    if (y < 0) y = -y;
    if (y >= height) y = 2 * (height - 1) - y;
    return std::clamp(y, 0, height - 1);
}

void DeinterlacePlane(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width, int height) {
    auto row = [&](int y) { return src + static_cast<ptrdiff_t>(Mirror(y, height)) * srcStride; };
    for (int y = 0; y < height; ++y) {
        uint8_t* out = dst + static_cast<ptrdiff_t>(y) * dstStride;
        if (y % 2 == 0) {
            std::memcpy(out, row(y), static_cast<size_t>(width));
            continue;
        }
        const uint8_t *m2 = row(y - 2), *m1 = row(y - 1), *c = row(y), *p1 = row(y + 1), *p2 = row(y + 2);
        for (int x = 0; x < width; ++x) {
            const int sum = -m2[x] + 4 * m1[x] + 2 * c[x] + 4 * p1[x] - p2[x];
            out[x] = static_cast<uint8_t>(std::clamp((sum + 4) >> 3, 0, 255));
        }
    }
}

// The plug-in chain over a writable picture.
void RunFrameHooks(TRunState& run, const TRunInputStream& ist, AVFrame* picture) {
    TFrameHookPicture hookPicture{};
    for (int i = 0; i < 4; ++i) {
        hookPicture.data[i] = picture->data[i];
        hookPicture.linesize[i] = picture->linesize[i];
    }
    for (const auto& hook : run.Job.VideoHooks)
        hook->Process(hook->Context, &hookPicture, picture->format, picture->width, picture->height,
                      ist.CurTimeUs);
}

} // namespace

bool DeinterlacePicture(const AVFrame* src, AVFrame* dst) {
    const AVPixFmtDescriptor* desc = FFApi.av_pix_fmt_desc_get(static_cast<AVPixelFormat>(src->format));
    if (!Deinterlaceable(desc) || src->width != dst->width || src->height != dst->height ||
        src->format != dst->format)
        return false;
    bool done[4] = {};
    for (int i = 0; i < desc->nb_components; ++i) {
        const int plane = desc->comp[i].plane;
        if (plane < 0 || plane > 3 || done[plane]) continue;
        done[plane] = true;
        const bool chroma = (i == 1 || i == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
        const int width = chroma ? AV_CEIL_RSHIFT(src->width, desc->log2_chroma_w) : src->width;
        const int height = chroma ? AV_CEIL_RSHIFT(src->height, desc->log2_chroma_h) : src->height;
        DeinterlacePlane(src->data[plane], src->linesize[plane], dst->data[plane], dst->linesize[plane],
                         width, height);
    }
    return true;
}

AVFrame* PreparePicture(TRunState& run, TRunInputStream& ist, AVFrame* picture) {
    TRunHookState& s = *run.HookState;
    AVFrame* buffer = WritablePicture(s.HookPicture, picture->width, picture->height, picture->format);
    if (!buffer) {
        EngineLog(nullptr, llError, "hook buf malloc error.");
        return picture;
    }
    AVFrame* current = picture;
    if (s.Deinterlace) {
        if (DeinterlacePicture(picture, buffer)) {
            current = buffer;
        } else {
            // Said once: the stream's pictures go on as decoded.
            EngineLog(nullptr, llError, "Deinterlacing failed.");
            s.Deinterlace = false;
        }
    }
    if (s.InputHook) {
        if (InputHookPicture(run, ist, current, buffer)) current = buffer;
    } else if (s.FrameHooks) {
        if (current != buffer && FFApi.av_frame_copy(buffer, current) < 0) return current;
        current = buffer;
        RunFrameHooks(run, ist, buffer);
    }
    if (current == buffer) CopyPictureProps(buffer, picture);
    return current;
}

} // namespace mw
