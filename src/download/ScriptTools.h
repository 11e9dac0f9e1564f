// The script host: a JavaScript text run by an embedded engine (Duktape), with named scriptlets
// as global objects through which the script calls back into the program.
//
// Threading: everything runs on the thread that calls Execute (the main thread). The engine runs
// the global code synchronously inside Execute; every host call and notification arrives there
// before Execute returns. A long-running script asks OnQueryContinue about once per
// QueryContinueIntervalMs (from its instructions and from its allocations) and stops when the
// answer is no: the answer holds for the rest of the run.
#pragma once

#include "download/ScriptIntf.h"

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct duk_hthread;

namespace mw {

enum TScriptState { ssUninitialized, ssInitialized, ssStarted, ssConnected, ssDisconnected, ssClosed };

struct TScriptError {
    std::string Description;
    int Line = 0;   // counted from 0
    int Column = 0; // the engine gives no column; 0
};

// The engine could not be created or prepared.
class EScriptEngineError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TCustomScript {
  public:
    TCustomScript();
    virtual ~TCustomScript();
    TCustomScript(const TCustomScript&) = delete;
    TCustomScript& operator=(const TCustomScript&) = delete;

    std::vector<std::string> Lines;
    void* WindowHandle = nullptr;
    int QueryContinueIntervalMs = 1000;
    // Most bytes the engine may hold at once (0 = no limit); beyond it an allocation fails and
    // the script ends with an error instead of exhausting the process.
    size_t MaxHeapBytes = 0;

    std::function<void(TCustomScript*, const TScriptError&)> OnError;
    std::function<void(TCustomScript*)> OnEnter;
    std::function<void(TCustomScript*)> OnLeave;
    std::function<void(TCustomScript*, bool& allow)> OnQueryContinue;
    std::function<void(TCustomScript*, TScriptState)> OnStateChange;

    // Adds unless an item of exactly this name is there.
    void AddScriptlet(const std::shared_ptr<TScriptlet>& item);
    std::shared_ptr<TScriptlet> FindScriptlet(const std::string& name) const;

    // Runs Lines joined with CR LF. Errors of the script go to OnError; a failure of the engine
    // itself raises EScriptEngineError.
    void Execute();
    void Close();

    // Engine glue (called from the engine's callbacks).
    bool QueryContinue();
    void KeepAlive(const std::shared_ptr<TScriptlet>& object) { FLiveObjects.push_back(object); }
    void SetHostErrorLine(int line) { FHostErrorLine = line; }
    bool ReserveHeap(size_t bytes);
    void ReleaseHeap(size_t bytes) { FHeapUsed -= bytes; }

  private:
    void SetState(TScriptState state);
    void ReportError(duk_hthread* ctx);

    duk_hthread* FContext = nullptr;
    std::vector<std::shared_ptr<TScriptlet>> FItems;
    std::vector<std::shared_ptr<TScriptlet>> FLiveObjects; // objects handed to the running engine
    std::chrono::steady_clock::time_point FLastQuery;
    bool FRunning = false;
    int FHostErrorLine = -1; // line (from 0) of the call whose host error is being raised
    size_t FHeapUsed = 0;
    unsigned FAllocations = 0;
    bool FDenied = false; // OnQueryContinue said no during this run
};

// The JavaScript engine.
class TJavaScript : public TCustomScript {};

} // namespace mw
