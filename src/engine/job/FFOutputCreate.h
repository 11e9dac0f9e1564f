// Creating an output's file. A new file is created exclusively (O_EXCL | O_NOFOLLOW): whatever is
// at the name - a file, a folder, a link, dangling or not - is never written through or replaced.
// With the job's OverwriteOutputs a regular file at the name is replaced instead (a link, folder
// or device never is). A name that is one of the job's inputs (the same file, by device and inode,
// whatever the spelling or links) is refused. With CheckOutputsOnly the same rules are applied and
// nothing is left on disk: the file is created and removed again, so that the answer is the file
// system's own (read-only, no such folder, name too long, no permission).
//
// Local files are written through the engine's own I/O context over the descriptor made here;
// names addressed to a protocol of the libraries are opened by the libraries as before (and are
// not checked in check-only mode).
//
// Threading: the thread that opens the job's outputs.
#pragma once

namespace mw {

struct TTranscodeJob;
struct TOutputFile;

// Opens (or checks) the file of an output whose muxer is chosen; false with job.BuildErrorText.
// Sets output.IO and output.Created when it made the file.
bool OpenOutputTarget(TTranscodeJob& job, TOutputFile& output);

} // namespace mw
