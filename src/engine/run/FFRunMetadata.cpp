#include "engine/run/FFRunMetadata.h"

namespace mw {

namespace {

constexpr AVRational MicrosecondBase{1, 1000000};

// Which kinds of metadata the default copying leaves alone because a map names them.
struct TAutoCopy {
    bool Global = true;
    bool Streams = true;
    bool Chapters = true;
};

TAutoCopy AutoCopyOf(const std::vector<TMetaDataMap>& maps) {
    TAutoCopy copy;
    for (const TMetaDataMap& map : maps)
        for (char type : {map.Out.Type, map.In.Type}) {
            if (type == 'g') copy.Global = false;
            if (type == 's') copy.Streams = false;
            if (type == 'c') copy.Chapters = false;
        }
    return copy;
}

void CheckIndex(int index, unsigned count, const char* what) {
    if (index < 0 || index >= static_cast<int>(count))
        RaiseRunError("Invalid %s index %d while processing metadata maps", what, index);
}

AVDictionary** MetadataOf(AVFormatContext* file, const TMetaDataMapSide& side) {
    switch (side.Type) {
    case 's':
        CheckIndex(side.Index, file->nb_streams, "stream");
        return &file->streams[side.Index]->metadata;
    case 'c':
        CheckIndex(side.Index, file->nb_chapters, "chapter");
        return &file->chapters[side.Index]->metadata;
    case 'p':
        CheckIndex(side.Index, file->nb_programs, "program");
        return &file->programs[side.Index]->metadata;
    default:
        return &file->metadata;
    }
}

void ApplyMetaDataMap(TRunState& run, const TMetaDataMap& map) {
    // A negative file index switches the map off.
    if (map.Out.FileIndex < 0 || map.In.FileIndex < 0) return;
    CheckIndex(map.Out.FileIndex, run.Job.Outputs.size(), "output file");
    CheckIndex(map.In.FileIndex, run.Job.Inputs.size(), "input file");
    AVDictionary** out = MetadataOf(run.OutputContext(map.Out.FileIndex), map.Out);
    AVDictionary** in = MetadataOf(run.Job.Inputs[map.In.FileIndex].Context.get(), map.In);
    FFApi.av_dict_copy(out, *in, AV_DICT_DONT_OVERWRITE);
}

// The input's chapters, moved to the output's time line and cut to the recording time.
void CopyChapters(TRunState& run, int inFile, int outFile, bool withMetadata) {
    const TInputFile& input = run.Job.Inputs[inFile];
    const AVFormatContext* is = input.Context.get();
    AVFormatContext* os = run.OutputContext(outFile);
    for (unsigned i = 0; i < is->nb_chapters; ++i) {
        const AVChapter* in = is->chapters[i];
        const int64_t offset =
            FFApi.av_rescale_q(run.Options.StartTimeUs - input.TsOffsetUs, MicrosecondBase, in->time_base);
        const int64_t limit =
            run.Options.RecordingTimeUs == RunNoLimit
                ? RunNoLimit
                : FFApi.av_rescale_q(run.Options.RecordingTimeUs, MicrosecondBase, in->time_base);
        if (in->end < offset) continue;
        if (limit != RunNoLimit && in->start > limit + offset) break;
        auto** chapters = static_cast<AVChapter**>(
            FFApi.av_realloc_array(os->chapters, os->nb_chapters + 1, sizeof(AVChapter*)));
        if (!chapters) RaiseRunError("Could not alloc buffer.");
        os->chapters = chapters;
        auto* out = static_cast<AVChapter*>(FFApi.av_mallocz(sizeof(AVChapter)));
        if (!out) RaiseRunError("Could not alloc buffer.");
        // The output context frees its chapters and their metadata.
        os->chapters[os->nb_chapters++] = out;
        out->id = in->id;
        out->time_base = in->time_base;
        out->start = std::max<int64_t>(0, in->start - offset);
        out->end = std::min(limit, in->end - offset);
        if (withMetadata) FFApi.av_dict_copy(&out->metadata, in->metadata, 0);
    }
}

void CopyDefaults(TRunState& run, const TAutoCopy& copy) {
    if (copy.Global)
        for (size_t f = 0; f < run.Job.Outputs.size(); ++f)
            FFApi.av_dict_copy(&run.OutputContext(int(f))->metadata, run.Job.Inputs[0].Context->metadata,
                               AV_DICT_DONT_OVERWRITE);
    if (copy.Streams)
        for (auto& ost : run.Outputs)
            FFApi.av_dict_copy(&ost->Stream->metadata, ost->Source->Stream->metadata, AV_DICT_DONT_OVERWRITE);
}

void ApplyChapterMaps(TRunState& run, bool withMetadata) {
    for (const TChapterMap& map : run.Job.Options.ChapterMaps) {
        if (map.InFile < 0 || map.OutFile < 0) continue;
        if (map.InFile >= int(run.Job.Inputs.size()))
            RaiseRunError("Invalid input file index %d in chapter mapping.", map.InFile);
        if (map.OutFile >= int(run.Job.Outputs.size()))
            RaiseRunError("Invalid output file index %d in chapter mapping.", map.OutFile);
        CopyChapters(run, map.InFile, map.OutFile, withMetadata);
    }
    if (!run.Job.Options.ChapterMaps.empty()) return;
    // The later inputs of a join are not on the output's time line yet.
    const size_t candidates = run.Job.Join ? 1 : run.Job.Inputs.size();
    for (size_t i = 0; i < candidates; ++i) {
        if (!run.Job.Inputs[i].Context->nb_chapters) continue;
        for (size_t o = 0; o < run.Job.Outputs.size(); ++o)
            CopyChapters(run, int(i), int(o), withMetadata);
        break;
    }
}

} // namespace

void ApplyMetadataMaps(TRunState& run) {
    const std::vector<TMetaDataMap>& maps = run.Job.Options.MetaDataMaps;
    for (const TMetaDataMap& map : maps)
        ApplyMetaDataMap(run, map);
    const TAutoCopy copy = AutoCopyOf(maps);
    CopyDefaults(run, copy);
    ApplyChapterMaps(run, copy.Chapters);
}

} // namespace mw
