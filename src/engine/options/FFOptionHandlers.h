// The handlers the option table's rows point at. Each applies one option to the job's state and
// answers false with the option's own message in job.BuildErrorText.
//
// Threading: the job's building thread only.
#pragma once

#include "engine/options/FFOptionTable.h"

#include <string>

namespace mw {

#define MW_OPTION_HANDLER(name) bool name(TTranscodeJob& job, const TOptionDef& row, const std::string& value)

// Plain rows: write the row's Target field.
MW_OPTION_HANDLER(HandleIgnored);
MW_OPTION_HANDLER(HandleSwitch);
MW_OPTION_HANDLER(HandleInteger);
MW_OPTION_HANDLER(HandlePositiveInteger); // kept only when above 0
MW_OPTION_HANDLER(HandleFloat);
MW_OPTION_HANDLER(HandleText);

// Special rows.
MW_OPTION_HANDLER(HandleLogLevel);
MW_OPTION_HANDLER(HandleMap);
MW_OPTION_HANDLER(HandleMapMetaData);
MW_OPTION_HANDLER(HandleMapChapters);
MW_OPTION_HANDLER(HandleDuration); // "t", "ss", "itsoffset"
MW_OPTION_HANDLER(HandleTimestamp);
MW_OPTION_HANDLER(HandleItsScale);
MW_OPTION_HANDLER(HandleFileSize);
MW_OPTION_HANDLER(HandleFrames); // Arg: 0 video, 1 audio, 2 data
MW_OPTION_HANDLER(HandleMetadata);
MW_OPTION_HANDLER(HandleTimeLimit);
MW_OPTION_HANDLER(HandleProgramId);
MW_OPTION_HANDLER(HandleThreads);
MW_OPTION_HANDLER(HandleTarget);
MW_OPTION_HANDLER(HandleBitRate);
MW_OPTION_HANDLER(HandleFrameRate);
MW_OPTION_HANDLER(HandleFrameSize);
MW_OPTION_HANDLER(HandleAspect);
MW_OPTION_HANDLER(HandlePixelFormat);
MW_OPTION_HANDLER(HandleSampleFormat);
MW_OPTION_HANDLER(HandleRemovedCrop);
MW_OPTION_HANDLER(HandleRemovedPad);
MW_OPTION_HANDLER(HandleQScale);
MW_OPTION_HANDLER(HandleCodec);   // Arg: stream kind
MW_OPTION_HANDLER(HandleDisable); // Arg: stream kind
MW_OPTION_HANDLER(HandlePass);
MW_OPTION_HANDLER(HandleVStats);
MW_OPTION_HANDLER(HandleVHook);
MW_OPTION_HANDLER(HandleMatrix);    // Arg: 0 intra, 1 inter
MW_OPTION_HANDLER(HandleTag);       // Arg: stream kind
MW_OPTION_HANDLER(HandleNewStream); // Arg: stream kind
MW_OPTION_HANDLER(HandleLanguage);  // Arg: stream kind
MW_OPTION_HANDLER(HandleStreamId);
MW_OPTION_HANDLER(HandleForceKeyFrames);
MW_OPTION_HANDLER(HandleBsf);     // Arg: stream kind
MW_OPTION_HANDLER(HandlePreset);  // Arg: 'a', 'v', 's' or 'f'
MW_OPTION_HANDLER(HandleGeneric); // legacy names: translated, then generic

} // namespace mw
