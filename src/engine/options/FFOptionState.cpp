#include "engine/options/FFOptionState.h"

namespace mw {

TOptionState::TOptionState() {
    InputTsScale.fill(1.0);
}

void ResetOptionState(TOptionState& state) {
    state = TOptionState{};
}

void ClearAfterInput(TOptionState& state) {
    state.ForcedFormat.clear();
    state.VideoChannel = 0;
    state.NoAutoRotate = false;
    for (auto& name : state.CodecName)
        name.clear();
}

void ClearAfterStream(TOptionState& state, TStreamKind kind) {
    state.CodecName[kind].clear();
    state.StreamCopy[kind] = false;
    state.Disable[kind] = false;
    state.Language[kind].clear();
    if (kind == skVideo) {
        state.ForcedKeyFrames.clear();
        state.FramePixFmt = -1;
    }
}

void ClearAfterOutput(TOptionState& state) {
    state.ForcedFormat.clear();
    state.StreamIds.clear();
    state.Metadata.clear();
}

} // namespace mw
