#include "download/ScriptTools.h"

#include <duktape.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int MwScriptTimeoutCheck(void* udata) {
    auto* script = static_cast<mw::TCustomScript*>(udata);
    return script && !script->QueryContinue() ? 1 : 0;
}

namespace mw {

namespace {

constexpr const char* ScriptletKey = DUK_HIDDEN_SYMBOL("scriptlet");
constexpr const char* IdKey = DUK_HIDDEN_SYMBOL("id");

// A failure inside a C++ callback, carried out of the scope of C++ objects before the engine's
// error (a long jump) is raised.
struct TCallFailure {
    bool Failed = false;
    char Message[512] = {};
    void Set(const char* text) {
        Failed = true;
        std::snprintf(Message, sizeof Message, "%s", text);
    }
};

TCustomScript* ScriptOf(duk_context* ctx) {
    duk_memory_functions funcs;
    duk_get_memory_functions(ctx, &funcs);
    return static_cast<TCustomScript*>(funcs.udata);
}

TScriptlet* ScriptletOf(duk_context* ctx, duk_idx_t objIndex) {
    duk_get_prop_string(ctx, objIndex, ScriptletKey);
    auto* s = static_cast<TScriptlet*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return s;
}

void PushScriptlet(duk_context* ctx, const std::shared_ptr<TScriptlet>& s);

// Errors raised by the host are blamed on the script line that made the call (the engine would
// name its own source position).
void RememberCallerLine(duk_context* ctx) {
    duk_inspect_callstack_entry(ctx, -2);
    int line = 0;
    if (duk_is_object(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "lineNumber");
        line = duk_is_number(ctx, -1) ? duk_get_int(ctx, -1) : 0;
        duk_pop(ctx);
    }
    duk_pop(ctx);
    ScriptOf(ctx)->SetHostErrorLine(line - 1);
}

void PushValue(duk_context* ctx, const TScriptValue& v) {
    if (std::holds_alternative<std::monostate>(v))
        duk_push_undefined(ctx);
    else if (std::holds_alternative<TScriptNull>(v))
        duk_push_null(ctx);
    else if (auto* b = std::get_if<bool>(&v))
        duk_push_boolean(ctx, *b);
    else if (auto* d = std::get_if<double>(&v))
        duk_push_number(ctx, *d);
    else if (auto* s = std::get_if<std::string>(&v))
        duk_push_lstring(ctx, s->data(), s->size());
    else if (auto* o = std::get_if<std::shared_ptr<TScriptlet>>(&v)) {
        if (*o)
            PushScriptlet(ctx, *o);
        else
            duk_push_null(ctx);
    }
}

TScriptValue ReadValue(duk_context* ctx, duk_idx_t i) {
    switch (duk_get_type(ctx, i)) {
    case DUK_TYPE_UNDEFINED:
    case DUK_TYPE_NONE:
        return std::monostate{};
    case DUK_TYPE_NULL:
        return TScriptNull{};
    case DUK_TYPE_BOOLEAN:
        return static_cast<bool>(duk_get_boolean(ctx, i));
    case DUK_TYPE_NUMBER:
        return duk_get_number(ctx, i);
    default: {
        duk_size_t len = 0;
        const char* s = duk_safe_to_lstring(ctx, i, &len);
        return std::string(s, len);
    }
    }
}

duk_ret_t MethodImpl(duk_context* ctx, TCallFailure& failure) {
    try {
        duk_push_current_function(ctx);
        TScriptlet* s = ScriptletOf(ctx, -1);
        duk_get_prop_string(ctx, -1, IdKey);
        const int id = duk_get_int(ctx, -1);
        duk_pop_2(ctx);
        std::vector<TScriptValue> args;
        const duk_idx_t n = duk_get_top(ctx);
        for (duk_idx_t i = 0; i < n; ++i)
            args.push_back(ReadValue(ctx, i));
        if (!s) return 0;
        const TScriptValue result = s->Invoke(id, ikMethod, args);
        PushValue(ctx, result);
        return 1;
    } catch (const std::exception& e) {
        failure.Set(e.what());
    } catch (...) {
        failure.Set("Unknown error");
    }
    return 0;
}

// Runs a host call's C++ part to its end (destructors included) before raising the script error,
// because the engine's error unwinds with a long jump.
template <duk_ret_t (*Impl)(duk_context*, TCallFailure&), duk_errcode_t Code>
duk_ret_t Guarded(duk_context* ctx) {
    TCallFailure failure;
    const duk_ret_t r = Impl(ctx, failure);
    if (!failure.Failed) return r;
    RememberCallerLine(ctx);
    return duk_error(ctx, Code, "%s", failure.Message);
}

duk_ret_t MethodCall(duk_context* ctx) {
    return Guarded<MethodImpl, DUK_ERR_ERROR>(ctx);
}

// Proxy trap get(target, key, receiver).
duk_ret_t GetImpl(duk_context* ctx, TCallFailure& failure) {
    try {
        TScriptlet* s = ScriptletOf(ctx, 0);
        if (!s || !duk_is_string(ctx, 1)) {
            duk_push_undefined(ctx);
            return 1;
        }
        const std::string name = duk_get_string(ctx, 1);
        const auto id = s->GetIDOfName(name);
        if (!id) {
            // Conversions that the engine asks for on its own are answered plainly.
            if (name == "toString" || name == "valueOf" || name == "toJSON") {
                duk_push_undefined(ctx);
                return 1;
            }
            failure.Set(("Object doesn't support this property or method: " + name).c_str());
            return 0;
        }
        if (*id >= TScriptlet::MethodIdBase) {
            duk_push_c_function(ctx, MethodCall, DUK_VARARGS);
            duk_push_pointer(ctx, s);
            duk_put_prop_string(ctx, -2, ScriptletKey);
            duk_push_int(ctx, *id);
            duk_put_prop_string(ctx, -2, IdKey);
            return 1;
        }
        PushValue(ctx, s->Invoke(*id, ikPropertyGet, {}));
        return 1;
    } catch (const std::exception& e) {
        failure.Set(e.what());
    }
    return 0;
}

duk_ret_t GetTrap(duk_context* ctx) {
    return Guarded<GetImpl, DUK_ERR_TYPE_ERROR>(ctx);
}

// Proxy trap set(target, key, value, receiver).
duk_ret_t SetImpl(duk_context* ctx, TCallFailure& failure) {
    try {
        TScriptlet* s = ScriptletOf(ctx, 0);
        const std::string name = duk_is_string(ctx, 1) ? duk_get_string(ctx, 1) : "";
        const auto id = s ? s->GetIDOfName(name) : std::nullopt;
        if (!id || *id >= TScriptlet::MethodIdBase) {
            failure.Set(("Object doesn't support this property or method: " + name).c_str());
            return 0;
        }
        s->Invoke(*id, ikPropertyPut, {ReadValue(ctx, 2)});
        duk_push_true(ctx);
        return 1;
    } catch (const std::exception& e) {
        failure.Set(e.what());
    }
    return 0;
}

duk_ret_t SetTrap(duk_context* ctx) {
    return Guarded<SetImpl, DUK_ERR_TYPE_ERROR>(ctx);
}

void PushScriptlet(duk_context* ctx, const std::shared_ptr<TScriptlet>& s) {
    ScriptOf(ctx)->KeepAlive(s);
    duk_push_object(ctx); // target
    duk_push_pointer(ctx, s.get());
    duk_put_prop_string(ctx, -2, ScriptletKey);
    duk_push_object(ctx); // handler
    duk_push_c_function(ctx, GetTrap, 3);
    duk_put_prop_string(ctx, -2, "get");
    duk_push_c_function(ctx, SetTrap, 4);
    duk_put_prop_string(ctx, -2, "set");
    duk_push_proxy(ctx, 0);
}

// Every block carries its size in front, so that the heap's total can be kept against its limit.
struct alignas(std::max_align_t) TBlockHeader {
    size_t Size;
};
void* DukAlloc(void* udata, duk_size_t size) {
    auto* script = static_cast<TCustomScript*>(udata);
    if (size == 0 || !script->ReserveHeap(size)) return nullptr;
    auto* h = static_cast<TBlockHeader*>(std::malloc(sizeof(TBlockHeader) + size));
    if (!h) {
        script->ReleaseHeap(size);
        return nullptr;
    }
    h->Size = size;
    return h + 1;
}
void DukFree(void* udata, void* p) {
    if (!p) return;
    auto* h = static_cast<TBlockHeader*>(p) - 1;
    static_cast<TCustomScript*>(udata)->ReleaseHeap(h->Size);
    std::free(h);
}
void* DukRealloc(void* udata, void* p, duk_size_t size) {
    if (!p) return DukAlloc(udata, size);
    if (size == 0) {
        DukFree(udata, p);
        return nullptr;
    }
    auto* script = static_cast<TCustomScript*>(udata);
    auto* h = static_cast<TBlockHeader*>(p) - 1;
    const size_t old = h->Size;
    if (size > old && !script->ReserveHeap(size - old)) return nullptr;
    auto* moved = static_cast<TBlockHeader*>(std::realloc(h, sizeof(TBlockHeader) + size));
    if (!moved) {
        if (size > old) script->ReleaseHeap(size - old);
        return nullptr;
    }
    if (size < old) script->ReleaseHeap(old - size);
    moved->Size = size;
    return moved + 1;
}
void DukFatal(void*, const char* msg) {
    std::fprintf(stderr, "script engine: fatal error: %s\n", msg ? msg : "");
    std::abort();
}

} // namespace

TCustomScript::TCustomScript() = default;

TCustomScript::~TCustomScript() {
    OnStateChange = nullptr; // no notifications while being destroyed
    Close();
}

void TCustomScript::AddScriptlet(const std::shared_ptr<TScriptlet>& item) {
    if (!item || FindScriptlet(item->Name)) return;
    FItems.push_back(item);
}

std::shared_ptr<TScriptlet> TCustomScript::FindScriptlet(const std::string& name) const {
    for (const auto& i : FItems)
        if (i->Name == name) return i;
    return nullptr;
}

void TCustomScript::SetState(TScriptState state) {
    if (OnStateChange) OnStateChange(this, state);
}

void TCustomScript::Close() {
    if (!FContext) return;
    duk_destroy_heap(FContext);
    FContext = nullptr;
    FLiveObjects.clear();
    SetState(ssClosed);
}

bool TCustomScript::ReserveHeap(size_t bytes) {
    // A script that allocates much runs few instructions, and the engine's instruction-count check
    // comes too seldom: its allocations ask too, and fail once the answer was no.
    if (FRunning && (FDenied || ((++FAllocations & 1023u) == 0 && !QueryContinue()))) return false;
    if (MaxHeapBytes && (bytes > MaxHeapBytes || FHeapUsed > MaxHeapBytes - bytes)) return false;
    FHeapUsed += bytes;
    return true;
}

bool TCustomScript::QueryContinue() {
    if (!FRunning) return true;
    if (FDenied) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - FLastQuery < std::chrono::milliseconds(QueryContinueIntervalMs)) return true;
    FLastQuery = now;
    bool allow = true;
    try {
        if (OnQueryContinue) OnQueryContinue(this, allow);
    } catch (...) {
        allow = false; // nothing may unwind through the engine
    }
    FDenied = !allow;
    return allow;
}

void TCustomScript::ReportError(duk_context* ctx) {
    TScriptError error;
    if (duk_is_error(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "message");
        duk_size_t len = 0;
        const char* message = duk_safe_to_lstring(ctx, -1, &len);
        error.Description.assign(message, len);
        duk_pop(ctx);
        duk_get_prop_string(ctx, -1, "lineNumber");
        error.Line = duk_is_number(ctx, -1) ? duk_get_int(ctx, -1) - 1 : 0;
        duk_pop(ctx);
    } else {
        duk_size_t len = 0;
        const char* text = duk_safe_to_lstring(ctx, -1, &len);
        error.Description.assign(text, len);
    }
    // Once stopped, even the error object may fail to be made: say why the script ended.
    if (FDenied) error.Description = "execution timeout";
    if (FHostErrorLine >= 0) error.Line = FHostErrorLine;
    FHostErrorLine = -1;
    if (error.Line < 0) error.Line = 0;
    if (OnError) OnError(this, error);
}

void TCustomScript::Execute() {
    Close();
    FDenied = false;
    FContext = duk_create_heap(DukAlloc, DukRealloc, DukFree, this, DukFatal);
    if (!FContext) throw EScriptEngineError("The script engine could not be created");
    SetState(ssInitialized);
    for (const auto& item : FItems) {
        PushScriptlet(FContext, item);
        duk_put_global_lstring(FContext, item->Name.data(), item->Name.size());
    }
    std::string source;
    for (size_t i = 0; i < Lines.size(); ++i) {
        if (i) source += "\r\n";
        source += Lines[i];
    }
    duk_push_lstring(FContext, source.data(), source.size());
    duk_push_string(FContext, "script");
    if (duk_pcompile(FContext, 0) != 0) {
        ReportError(FContext);
        duk_pop(FContext);
        return;
    }
    SetState(ssStarted);
    FRunning = true;
    FLastQuery = std::chrono::steady_clock::now();
    if (OnEnter) OnEnter(this);
    const bool failed = duk_pcall(FContext, 0) != 0;
    FRunning = false;
    if (failed) ReportError(FContext);
    duk_pop(FContext);
    if (OnLeave) OnLeave(this);
    SetState(ssConnected);
}

} // namespace mw
