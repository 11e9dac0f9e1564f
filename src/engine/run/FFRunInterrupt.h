// The interrupt check of a run's thread: an input read in progress gives up when the owner asks the
// run to stop ("connecting/reading/writing canceled") or when it has waited longer than the job's
// time limit ("connecting/reading/writing timeout"), both logged once at llInfo. Writes (packets,
// the drain after a stop, trailers) are never cut short, so a stopped run keeps its trailers.
//
// Threading contract: the watch and the check belong to the run's thread (the libraries call the
// check on the thread that reads); only the job's StopRequested comes from other threads.
#pragma once

#include <cstdint>

extern "C" {
struct AVPacket;
}

namespace mw {

struct TTranscodeJob;
struct TRunState;

// What the check knows about the reads. A read's start is taken when the check first sees it, so
// reads that never wait cost no clock reading.
struct TReadWatch {
    bool Reading = false;
    uint64_t Reads = 0;             // reads begun
    uint64_t SeenRead = UINT64_MAX; // the read the check last saw
    int64_t StartUs = 0;            // when the check first saw it
    bool TimedOut = false;
};

// Registers the check for the calling thread while it lives.
class TRunInterrupt {
  public:
    TRunInterrupt(TTranscodeJob& job, TReadWatch& watch);
    ~TRunInterrupt() { Release(); }
    TRunInterrupt(const TRunInterrupt&) = delete;
    TRunInterrupt& operator=(const TRunInterrupt&) = delete;
    void Release();

  private:
    TTranscodeJob& FJob;
    TReadWatch& FWatch;
    uint32_t FThread;
    bool FActive = true;
};

// av_read_frame on input file with the check watching. A read the time limit ended raises
// "<file name>: <library text>"; a stopped one answers its error like an ended input.
int ReadInputPacket(TRunState& run, int file, AVPacket* packet);

} // namespace mw
