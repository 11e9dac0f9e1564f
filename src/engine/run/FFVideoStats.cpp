#include "engine/run/FFVideoStats.h"

#include <cmath>

namespace mw {

namespace {

// What the encoder says about one coded picture (the packet's quality side data).
struct TCodedPicture {
    double Quality = 0; // quantiser
    char Type = '?';
    bool HasError = false;
    uint64_t Error = 0; // sum of squared errors of the first plane
};

TCodedPicture CodedPictureOf(const AVPacket* packet) {
    TCodedPicture picture;
    size_t size = 0;
    const uint8_t* stats = FFApi.av_packet_get_side_data(packet, AV_PKT_DATA_QUALITY_STATS, &size);
    if (!stats || size < 5) return picture;
    picture.Quality = static_cast<double>(AV_RL32(stats)) / FF_QP2LAMBDA;
    picture.Type = FFApi.av_get_picture_type_char(static_cast<AVPictureType>(stats[4]));
    if (size >= 16 && stats[5] > 0) {
        picture.HasError = true;
        picture.Error = AV_RL64(stats + 8);
    }
    return picture;
}

} // namespace

void WriteVideoStats(TRunState& run, const TRunOutputStream& ost, const AVPacket* packet,
                     int64_t videoBytes) {
    if (!run.VStats) {
        const std::string& name = run.Job.Options.VStatsFileName;
        run.VStats = std::fopen(name.c_str(), "w");
        if (!run.VStats) RaiseRunError("fopen fail: %s", name.c_str());
    }
    const AVCodecContext* enc = ost.Encoder;
    const TCodedPicture picture = CodedPictureOf(packet);
    FILE* file = run.VStats;
    std::fprintf(file, "frame= %5d q= %2.1f ", static_cast<int>(ost.FrameNumber), picture.Quality);
    if (run.Job.Options.Psnr) {
        const double pixels = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
        const double psnr = picture.HasError ? -10.0 * std::log10(picture.Error / pixels) : 0.0;
        std::fprintf(file, "PSNR= %6.2f ", psnr);
    }
    std::fprintf(file, "f_size= %6d ", packet->size);
    const double time = std::max(0.01, static_cast<double>(ost.SyncCounter) * av_q2d(enc->time_base));
    const double bitrate = packet->size * 8.0 / av_q2d(enc->time_base) / 1000.0;
    const double average = static_cast<double>(videoBytes) * 8.0 / time / 1000.0;
    std::fprintf(file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 static_cast<double>(videoBytes) / 1024.0, time, bitrate, average);
    std::fprintf(file, "type= %c\n", picture.Type);
}

} // namespace mw
