#include "engine/FFOpenedInput.h"

#include "engine/FFInterrupt.h"

#include <utility>

namespace mw {

TOpenedInput& TOpenedInput::operator=(TOpenedInput&& other) noexcept {
    if (this != &other) {
        reset();
        FContext = std::move(other.FContext);
        FPending = std::exchange(other.FPending, nullptr);
        FIO = std::move(other.FIO);
    }
    return *this;
}

AVFormatContext* TOpenedInput::Allocate(const std::string& url, int& error) {
    reset();
    error = 0;
    AVFormatContext* ic = FFApi.avformat_alloc_context();
    if (!ic) {
        error = AVERROR(ENOMEM);
        return nullptr;
    }
    ic->flags |= AVFMT_FLAG_NONBLOCK;
    ic->interrupt_callback.callback = FFInterruptCallback;
    ic->interrupt_callback.opaque = nullptr;
    if (HasUnicodePrefix(url)) {
        FIO = TUnicodeIO::Open(url, 0, error);
        if (!FIO) {
            FFApi.avformat_free_context(ic);
            return nullptr;
        }
        ic->pb = FIO->Context();
        ic->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    FPending = ic;
    return ic;
}

int TOpenedInput::Open(const std::string& url, const AVInputFormat* format, AVDictionary** options) {
    AVFormatContext* ic = std::exchange(FPending, nullptr);
    if (!ic) return AVERROR(EINVAL);
    // On failure the library frees the context (never a custom I/O context).
    const int result = FFApi.avformat_open_input(&ic, url.c_str(), format, options);
    if (result < 0) {
        FIO.reset();
        return result;
    }
    FContext.reset(ic);
    return 0;
}

void TOpenedInput::reset() {
    FContext.reset();
    if (FPending) FFApi.avformat_free_context(std::exchange(FPending, nullptr));
    FIO.reset(); // the context reads through it until it is closed
}

} // namespace mw
