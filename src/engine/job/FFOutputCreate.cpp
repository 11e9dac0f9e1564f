#include "engine/job/FFOutputCreate.h"

#include "engine/job/FFBlockingCall.h"
#include "engine/job/FFJob.h"
#include "engine/FFLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mw {

namespace {

constexpr int NewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
// Never blocks on a FIFO swapped in at the name; the descriptor is checked before use.
constexpr int ReplaceFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

bool Fail(TTranscodeJob& job, const std::string& fileName, int systemError) {
    return BuildError(job, fileName + ": " + FFErrorText(AVERROR(systemError)));
}

bool NotRegular(TTranscodeJob& job, const std::string& fileName) {
    return BuildError(job, fileName + ": Not a regular file, it is not replaced");
}

// A local file the engine opens itself: the engine's own names, "file:" and plain paths.
bool IsLocalFile(const std::string& url) {
    if (HasUnicodePrefix(url) || url.compare(0, 5, "file:") == 0) return true;
    const char* protocol = FFApi.avio_find_protocol_name(url.c_str());
    return protocol && std::strcmp(protocol, "file") == 0;
}

// The index of the job's input that is the file at path, -1 when none is.
int SameAsInput(const TTranscodeJob& job, const std::string& path) {
    struct stat out {};
    if (::stat(path.c_str(), &out) != 0) return -1;
    for (size_t i = 0; i < job.Inputs.size(); ++i) {
        struct stat in {};
        const std::string inputPath = WideFileName(FFFileUrl(job.Inputs[i].FileName));
        if (::stat(inputPath.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return static_cast<int>(i);
    }
    return -1;
}

// A descriptor of the file to write, or -1 with the job's error text set.
int CreateFile(TTranscodeJob& job, const std::string& fileName, const std::string& path) {
    if (!job.OverwriteOutputs) {
        const int fd = ::open(path.c_str(), NewFileFlags, 0666);
        if (fd < 0) Fail(job, fileName, errno);
        return fd;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return NotRegular(job, fileName), -1;
    const int fd = ::open(path.c_str(), ReplaceFlags, 0666);
    if (fd < 0) {
        // O_NOFOLLOW met a link that took the file's place meanwhile.
        if (errno == ELOOP) return NotRegular(job, fileName), -1;
        return Fail(job, fileName, errno), -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return NotRegular(job, fileName), -1;
    }
    if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        return Fail(job, fileName, error), -1;
    }
    return fd;
}

// What creating the file would answer, leaving nothing behind.
bool CheckCreatable(TTranscodeJob& job, const std::string& fileName, const std::string& path) {
    struct stat st {};
    if (job.OverwriteOutputs && ::lstat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return NotRegular(job, fileName);
        const int fd = ::open(path.c_str(), (ReplaceFlags & ~O_CREAT), 0666);
        if (fd < 0) return Fail(job, fileName, errno);
        ::close(fd);
        return true;
    }
    const int fd = ::open(path.c_str(), NewFileFlags, 0666);
    if (fd < 0) return Fail(job, fileName, errno);
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

} // namespace

bool OpenOutputTarget(TTranscodeJob& job, TOutputFile& output) {
    AVFormatContext* oc = output.Context.get();
    if ((oc->oformat->flags & AVFMT_NEEDNUMBER) && !FFApi.av_filename_number_test(output.FileName.c_str()))
        return BuildError(job, output.FileName + ": Number syntax expected in filename");
    if (oc->oformat->flags & AVFMT_NOFILE) return true;
    const std::string url = FFFileUrl(output.FileName);
    if (!IsLocalFile(url)) {
        if (job.CheckOutputsOnly) return true;
        TBlockingCall limit(job);
        const int result =
            FFApi.avio_open2(&oc->pb, url.c_str(), AVIO_FLAG_WRITE, &oc->interrupt_callback, nullptr);
        return result >= 0 || BuildError(job, output.FileName + ": " + FFErrorText(result));
    }
    const std::string path = WideFileName(url);
    if (const int input = SameAsInput(job, path); input >= 0)
        return BuildError(job, FormatText("Output %s same as Input #%d", output.FileName.c_str(), input));
    if (job.CheckOutputsOnly) return CheckCreatable(job, output.FileName, path);
    const int fd = CreateFile(job, output.FileName, path);
    if (fd < 0) return false;
    int error = 0;
    output.IO = TUnicodeIO::AdoptForWriting(fd, error);
    if (!output.IO) {
        ::unlink(path.c_str());
        return BuildError(job, output.FileName + ": " + FFErrorText(error));
    }
    output.Created = true;
    oc->pb = output.IO->Context();
    oc->flags |= AVFMT_FLAG_CUSTOM_IO;
    return true;
}

} // namespace mw
