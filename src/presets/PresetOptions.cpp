#include "presets/PresetOptions.h"

#include "app/UtilFuncs.h"

namespace mw {

namespace {

template <typename TPreset, typename TRecord> struct TFieldLink {
    std::optional<TPreset> TPresetFields::*Preset;
    TRecord TOutputOptions::*Record;
};
using TTextLink = TFieldLink<std::string_view, std::string>;
using TIntLink = TFieldLink<int32_t, int32_t>;
using TBoolLink = TFieldLink<bool, bool>;

struct TFieldEntry {
    std::string_view Name;
    std::variant<TTextLink, TIntLink, TBoolLink> Link;
};

// Every field a preset may write, in record order; merging, applying and listing all walk it.
const TFieldEntry FieldTable[] = {
#define MW_PRESET_ENTRY_Preset(type, member)                                                                 \
    TFieldEntry{#member,                                                                                     \
                TFieldLink<TPresetValue<type>, type>{&TPresetFields::member, &TOutputOptions::member}},
#define MW_PRESET_ENTRY_NoPreset(type, member)
#define MW_OUTPUT_FIELD(type, member, reset, option, when, preset) MW_PRESET_ENTRY_##preset(type, member)
#include "app/OutputOptionFields.inc"
#undef MW_OUTPUT_FIELD
#undef MW_PRESET_ENTRY_NoPreset
#undef MW_PRESET_ENTRY_Preset
};

void MergeFields(TPresetFields& into, const TPresetFields& from) {
    for (const TFieldEntry& e : FieldTable)
        std::visit(
            [&](const auto& link) {
                if (from.*link.Preset) into.*link.Preset = from.*link.Preset;
            },
            e.Link);
    into.AudioBitrateFromSource = into.AudioBitrateFromSource || from.AudioBitrateFromSource;
}

void WriteFields(const TPresetFields& fields, TOutputOptions& options) {
    for (const TFieldEntry& e : FieldTable)
        std::visit(
            [&](const auto& link) {
                if (const auto& value = fields.*link.Preset) options.*link.Record = *value;
            },
            e.Link);
}

} // namespace

TPresetFields PresetFieldsOf(int formatClass, int format, int32_t index) {
    TPresetFields fields;
    const TFormatClassInfo* classInfo = FindFormatClass(formatClass);
    if (!classInfo) return fields;
    MergeFields(fields, classInfo->Fields);
    const TFormatInfo* formatInfo = FindFormat(formatClass, format);
    if (!formatInfo) return fields;
    MergeFields(fields, formatInfo->Fields);
    if (const TPresetRow* row = FindPreset(formatClass, format, index)) MergeFields(fields, row->Fields);
    return fields;
}

TPresetFields SelectedPresetFields(const TOutputSelection& selection) {
    const int formatClass = selection.OutputFormatClass;
    const uint8_t* format = selection.FormatOfClass(formatClass);
    if (!format) return PresetFieldsOf(formatClass, -1, -1);
    const int32_t* index = selection.PresetOf(formatClass, *format);
    return PresetFieldsOf(formatClass, *format, index ? *index : -1);
}

std::string OutputFileExtension(const TOutputSelection& selection) {
    const uint8_t* format = selection.FormatOfClass(selection.OutputFormatClass);
    const TFormatInfo* info = format ? FindFormat(selection.OutputFormatClass, *format) : nullptr;
    return info ? std::string(info->Extension) : std::string();
}

void ApplyPresetOptions(const TOutputSelection& selection, TOutputOptions& options,
                        int32_t sourceAudioBitrate) {
    const TPresetFields fields = SelectedPresetFields(selection);
    WriteFields(fields, options);
    // A probe answers -1 (or 0) when it knows no rate; the field then stays unset.
    if (fields.AudioBitrateFromSource && sourceAudioBitrate > 0) options.AudioBitrate = sourceAudioBitrate;
}

std::string PerFileOutputName(const std::string& sourcePath, const std::string& outputDir,
                              const std::string& extension) {
    const std::string name = StripFileExt(ExtractFileName(sourcePath)) + extension;
    return AddTrailingBackslash(outputDir) + MakeUniqueFileName(name, outputDir);
}

TOutputOptions BuildOutputOptions(const TUserSettings& settings, const IOutputSourceProbe& probe) {
    TOutputOptions options;
    InitOutputOptions(options);
    options.FileExt = OutputFileExtension(settings.OutputSelection);
    options.FileName = PerFileOutputName(probe.FileName(), settings.OutputFileDir, options.FileExt);
    ApplyPresetOptions(settings.OutputSelection, options, probe.FirstAudioBitRate());
    return options;
}

TOutputOptions BuildJoinOutputOptions(const TOutputSelection& selection) {
    TOutputOptions options;
    InitOutputOptions(options);
    ApplyPresetOptions(selection, options);
    options.Join = true;
    return options;
}

std::vector<TWrittenField> WrittenFields(const TPresetFields& fields) {
    std::vector<TWrittenField> written;
    for (const TFieldEntry& e : FieldTable)
        std::visit(
            [&](const auto& link) {
                if (const auto& value = fields.*link.Preset) written.push_back({e.Name, *value});
            },
            e.Link);
    return written;
}

} // namespace mw
