// Generic options: names the option table does not handle itself are looked up among the options
// of the libraries' own contexts (codec, format, scaler, then codec and muxer private options),
// checked by setting them on reference contexts, and remembered so that every codec or format
// context made later gets them where the option's flags match.
//
// Threading: one instance per job, used by one thread at a time. Needs the libraries loaded.
#pragma once

#include "engine/FFEntries.h"

#include <memory>
#include <string>
#include <vector>

namespace mw {

class TGenericOptions {
  public:
    TGenericOptions();
    ~TGenericOptions();
    TGenericOptions(TGenericOptions&&) noexcept;
    TGenericOptions& operator=(TGenericOptions&&) noexcept;
    TGenericOptions(const TGenericOptions&) = delete;
    TGenericOptions& operator=(const TGenericOptions&) = delete;

    // Looks the name up and sets the value; false with "Unrecognized option "%s"" or
    // "Invalid value "%s" for option "%s"" in LastErrorMessage(). onlyKind (a stream specifier,
    // "profile:v") limits the option to codec contexts of that kind.
    bool Set(const std::string& name, const std::string& value, AVMediaType onlyKind = AVMEDIA_TYPE_UNKNOWN);
    const std::string& LastErrorMessage() const { return FLastErrorMessage; }

    // Remembered pairs, applied where (option flags & flags) == flags. flags: encoding or decoding
    // param plus the media kind's param flag. Private options of the context's codec or (de)muxer
    // are reached too. Answers the first error's text in error (or leaves it empty).
    void ApplyToCodec(AVCodecContext* context, int flags, std::string* error = nullptr) const;
    void ApplyToFormat(AVFormatContext* context, int flags, std::string* error = nullptr) const;

    // Reference codec context of a kind (the values set so far), nullptr before the first Set.
    const AVCodecContext* Reference(AVMediaType kind) const;
    // "sws_flags" as set (SWS_BICUBIC when never set).
    int64_t ScalerFlags() const;
    // True when the video codec or the format context's "debug" became non-zero.
    bool DebugRequested() const;
    // Names remembered so far, in order (for tests and the help listing).
    std::vector<std::string> RememberedNames() const;

    void Clear();

  private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
    std::string FLastErrorMessage;
};

} // namespace mw
