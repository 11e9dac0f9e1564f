#include "engine/options/FFGenericOptions.h"

#include "engine/FFLog.h"
#include "engine/FFUtils.h"

#include <array>

namespace mw {

namespace {

// Reference codec contexts, one per media kind, as the libraries number them.
constexpr int CodecKinds = 5; // video, audio, data, subtitle, attachment
constexpr int KindFlags[CodecKinds] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                       AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// Where a remembered option was accepted.
enum : int {
    wFormat = 1 << CodecKinds,
    wScaler = 1 << (CodecKinds + 1),
    wCodecPrivate = 1 << (CodecKinds + 2),
    wMuxerPrivate = 1 << (CodecKinds + 3),
};

struct TFormatFree {
    void operator()(AVFormatContext* c) const { FFApi.avformat_free_context(c); }
};
using TFormatPtr = std::unique_ptr<AVFormatContext, TFormatFree>;

std::string InvalidValueText(const std::string& name, const std::string& value) {
    return "Invalid value \"" + value + "\" for option \"" + name + "\"";
}

// Sets a private option on a fresh instance of every codec (of the kind, unless it is unknown) or
// muxer that has it; true when one of them accepts the value. found tells whether any has the name
// at all. The libraries' complaints about the others are not the user's business.
bool SetOnSomeCodec(const std::string& name, const std::string& value, AVMediaType kind, bool& found) {
    TQuietLibraryLog quiet;
    void* it = nullptr;
    while (const AVCodec* codec = FFApi.av_codec_iterate(&it)) {
        if (kind != AVMEDIA_TYPE_UNKNOWN && codec->type != kind) continue;
        const AVClass* cls = codec->priv_class;
        if (!cls || !FFApi.av_opt_find(&cls, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) continue;
        found = true;
        TCodecContextPtr instance(FFApi.avcodec_alloc_context3(codec));
        if (instance && instance->priv_data &&
            FFApi.av_opt_set(instance->priv_data, name.c_str(), value.c_str(), 0) >= 0)
            return true;
    }
    return false;
}

bool SetOnSomeMuxer(const std::string& name, const std::string& value, bool& found) {
    TQuietLibraryLog quiet;
    void* it = nullptr;
    while (const AVOutputFormat* format = FFApi.av_muxer_iterate(&it)) {
        const AVClass* cls = format->priv_class;
        if (!cls || !FFApi.av_opt_find(&cls, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ)) continue;
        found = true;
        AVFormatContext* raw = nullptr;
        FFApi.avformat_alloc_output_context2(&raw, format, nullptr, nullptr);
        TFormatPtr instance(raw);
        if (instance && instance->priv_data &&
            FFApi.av_opt_set(instance->priv_data, name.c_str(), value.c_str(), 0) >= 0)
            return true;
    }
    return false;
}

// Sets name on target when target's class has it with the flags; error gets the first failure.
void SetWhereFlagsMatch(void* target, const std::string& name, const std::string& value, int flags,
                        std::string* error) {
    if (!target || !FFApi.av_opt_find(target, name.c_str(), nullptr, flags, 0)) return;
    if (FFApi.av_opt_set(target, name.c_str(), value.c_str(), 0) < 0 && error && error->empty())
        *error = InvalidValueText(name, value);
}

} // namespace

struct TGenericOptions::TImpl {
    std::array<TCodecContextPtr, CodecKinds> Codec;
    TFormatPtr Format;
    TSwsContextPtr Scaler;

    struct TRemembered {
        std::string Name; // the library's name of the option ("b" for "ab")
        std::string Value;
        int Where;
        AVMediaType Kind; // only codec contexts of this kind ("profile:v"); unknown: any
    };
    std::vector<TRemembered> Remembered;

    TImpl() {
        for (int kind = 0; kind < CodecKinds; ++kind) {
            Codec[kind].reset(FFApi.avcodec_alloc_context3(nullptr));
            if (Codec[kind]) Codec[kind]->codec_type = static_cast<AVMediaType>(kind);
        }
        Format.reset(FFApi.avformat_alloc_context());
        Scaler.reset(FFApi.sws_alloc_context());
    }

    void Remember(const std::string& name, const std::string& value, int where, AVMediaType kind) {
        for (auto& r : Remembered)
            if (r.Name == name && r.Where == where && r.Kind == kind) {
                r.Value = value;
                return;
            }
        Remembered.push_back({name, value, where, kind});
    }

    // Answers the library's result (< 0 on a rejected value); found tells whether obj knows name.
    static int SetOn(void* obj, const std::string& name, const std::string& value, int flags,
                     const AVOption*& found) {
        found = obj ? FFApi.av_opt_find(obj, name.c_str(), nullptr, flags, 0) : nullptr;
        if (!found) return 0;
        return FFApi.av_opt_set(obj, name.c_str(), value.c_str(), 0);
    }
};

TGenericOptions::TGenericOptions() = default;
TGenericOptions::~TGenericOptions() = default;
TGenericOptions::TGenericOptions(TGenericOptions&&) noexcept = default;
TGenericOptions& TGenericOptions::operator=(TGenericOptions&&) noexcept = default;

bool TGenericOptions::Set(const std::string& name, const std::string& value, AVMediaType onlyKind) {
    FLastErrorMessage.clear();
    if (!FImpl) FImpl = std::make_unique<TImpl>();
    auto& impl = *FImpl;
    const bool anyKind = onlyKind == AVMEDIA_TYPE_UNKNOWN;
    const AVOption* found = nullptr;
    int where = 0;
    int result = 0;
    {
        // A refused value may still suit a codec's own option of that name (below).
        TQuietLibraryLog quiet;
        // The per-kind codec contexts, where the option's kind flag fits the context's kind.
        for (int kind = 0; kind < CodecKinds && result >= 0; ++kind) {
            if (!anyKind && kind != onlyKind) continue;
            const AVOption* o = nullptr;
            result = TImpl::SetOn(impl.Codec[kind].get(), name, value, KindFlags[kind], o);
            if (o) {
                found = o;
                where |= 1 << kind;
            }
        }
        if (!found && anyKind) {
            result = TImpl::SetOn(impl.Format.get(), name, value, 0, found);
            if (found) where = wFormat;
        }
        if (!found && anyKind) {
            result = TImpl::SetOn(impl.Scaler.get(), name, value, 0, found);
            if (found) where = wScaler;
        }
        // "ab", "vb", "sfoo": the rest of the name in that kind's context.
        static const struct {
            char Prefix;
            AVMediaType Kind;
        } Prefixes[] = {{'a', AVMEDIA_TYPE_AUDIO}, {'v', AVMEDIA_TYPE_VIDEO}, {'s', AVMEDIA_TYPE_SUBTITLE}};
        if (!found && anyKind && name.size() > 1) {
            for (const auto& p : Prefixes) {
                if (name[0] != p.Prefix) continue;
                const std::string rest = name.substr(1);
                result = TImpl::SetOn(impl.Codec[p.Kind].get(), rest, value, 0, found);
                if (found) where = 1 << p.Kind;
                break;
            }
        }
    }
    if (found && result >= 0) {
        impl.Remember(found->name, value, where, onlyKind);
        return true;
    }
    // Private options of codecs, then of muxers: remembered as given, applied where they exist.
    // A value the common option refuses may be a codec's own ("profile" "high" is libx264's).
    bool known = false;
    if (SetOnSomeCodec(name, value, onlyKind, known)) {
        impl.Remember(name, value, wCodecPrivate, onlyKind);
        return true;
    }
    if (!known && !found && anyKind) {
        if (SetOnSomeMuxer(name, value, known)) {
            impl.Remember(name, value, wMuxerPrivate, onlyKind);
            return true;
        }
    }
    if (!known && !found) {
        FLastErrorMessage = "Unrecognized option \"" + name + "\"";
        return false;
    }
    FLastErrorMessage = InvalidValueText(name, value);
    FFApi.av_log(nullptr, AV_LOG_ERROR, "%s\n", FLastErrorMessage.c_str());
    return false;
}

void TGenericOptions::ApplyToCodec(AVCodecContext* context, int flags, std::string* error) const {
    if (!FImpl || !context) return;
    const int kind = context->codec_type;
    for (const auto& r : FImpl->Remembered) {
        if (r.Kind != AVMEDIA_TYPE_UNKNOWN && r.Kind != context->codec_type) continue;
        if (r.Where & wCodecPrivate) {
            SetWhereFlagsMatch(context->priv_data, r.Name, r.Value, flags, error);
            continue;
        }
        if (kind < 0 || kind >= CodecKinds || !(r.Where & (1 << kind))) continue;
        // The value as the reference context of this kind holds it ("ab" and "vb" both set "b").
        AVCodecContext* reference = FImpl->Codec[kind].get();
        if (!FFApi.av_opt_find(reference, r.Name.c_str(), nullptr, flags, 0)) continue;
        uint8_t* text = nullptr;
        if (FFApi.av_opt_get(reference, r.Name.c_str(), 0, &text) < 0 || !text) continue;
        const std::string value(reinterpret_cast<const char*>(text));
        FFApi.av_free(text);
        SetWhereFlagsMatch(context, r.Name, value, flags, error);
    }
}

void TGenericOptions::ApplyToFormat(AVFormatContext* context, int flags, std::string* error) const {
    if (!FImpl || !context) return;
    for (const auto& r : FImpl->Remembered) {
        if (r.Kind != AVMEDIA_TYPE_UNKNOWN) continue; // meant for one kind of stream
        if (r.Where & wFormat)
            SetWhereFlagsMatch(context, r.Name, r.Value, flags, error);
        else if (r.Where & wMuxerPrivate)
            SetWhereFlagsMatch(context->priv_data, r.Name, r.Value, flags, error);
    }
}

const AVCodecContext* TGenericOptions::Reference(AVMediaType kind) const {
    if (!FImpl || kind < 0 || kind >= CodecKinds) return nullptr;
    return FImpl->Codec[kind].get();
}

int64_t TGenericOptions::ScalerFlags() const {
    int64_t flags = SWS_BICUBIC;
    if (FImpl && FImpl->Scaler) FFApi.av_opt_get_int(FImpl->Scaler.get(), "sws_flags", 0, &flags);
    return flags;
}

bool TGenericOptions::DebugRequested() const {
    if (!FImpl) return false;
    const auto& video = FImpl->Codec[AVMEDIA_TYPE_VIDEO];
    return (video && video->debug) || (FImpl->Format && FImpl->Format->debug);
}

std::vector<std::string> TGenericOptions::RememberedNames() const {
    std::vector<std::string> names;
    if (FImpl)
        for (const auto& r : FImpl->Remembered)
            names.push_back(r.Name);
    return names;
}

void TGenericOptions::Clear() {
    FImpl.reset();
    FLastErrorMessage.clear();
}

} // namespace mw
