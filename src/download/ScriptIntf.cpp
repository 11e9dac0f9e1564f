#include "download/ScriptIntf.h"

#include "app/UtilFuncs.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace mw {

namespace {

enum THostMethod { hmAlert, hmCreateObject, hmEcho, hmReadText, hmWriteText };

// Two-byte text (a zero second byte in an even-sized file) is read as UTF-16 little-endian.
std::string Utf16LeToUtf8(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t c = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low =
                static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint8_t>(bytes[i + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::stringstream ss;
    ss << in.rdbuf();
    std::string bytes = ss.str();
    if (bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes[1] == '\0') {
        if (static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE)
            bytes.erase(0, 2);
        return Utf16LeToUtf8(bytes);
    }
    return bytes;
}

} // namespace

std::string ScriptValueToString(const TScriptValue& value) {
    struct TVisitor {
        std::string operator()(std::monostate) const { return "undefined"; }
        std::string operator()(TScriptNull) const { return "null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(double d) const {
            if (std::isnan(d)) return "NaN";
            if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
            if (d == std::floor(d) && std::fabs(d) < 1e21) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.0f", d);
                return buf;
            }
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.17g", d);
            // The shortest form that reads back the same.
            for (int p = 1; p <= 17; ++p) {
                char shorter[32];
                std::snprintf(shorter, sizeof shorter, "%.*g", p, d);
                if (std::strtod(shorter, nullptr) == d) return shorter;
            }
            return buf;
        }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const std::shared_ptr<TScriptlet>&) const { return "[object Object]"; }
    };
    return std::visit(TVisitor{}, value);
}

TScriptlet::TScriptlet(std::string name, std::vector<std::string> methods)
    : Name(std::move(name)), FMethods(std::move(methods)) {}

std::optional<int> TScriptlet::GetIDOfName(const std::string& name) {
    for (size_t i = 0; i < FMethods.size(); ++i)
        if (SameText(FMethods[i], name)) return MethodIdBase + static_cast<int>(i);
    for (size_t i = 0; i < FProperties.size(); ++i)
        if (SameText(FProperties[i], name)) return static_cast<int>(i) - MethodIdBase;
    if (HasProperty(name)) {
        FProperties.push_back(name);
        return static_cast<int>(FProperties.size()) - 1 - MethodIdBase;
    }
    return std::nullopt;
}

TScriptValue TScriptlet::Invoke(int id, TInvokeKind kind, const std::vector<TScriptValue>& args) {
    if (kind == ikMethod) {
        const int index = id - MethodIdBase;
        if (index >= 0 && index < static_cast<int>(FMethods.size())) return CallMethod(index, args);
    } else {
        const int index = id + MethodIdBase;
        if (index >= 0 && index < static_cast<int>(FProperties.size())) {
            if (kind == ikPropertyGet) return GetProperty(index, args);
            if (args.empty())
                throw EScriptDispatch("Wrong number of arguments or invalid property assignment");
            SetProperty(index, std::vector<TScriptValue>(args.begin(), args.end() - 1), args.back());
            return {};
        }
    }
    throw EScriptDispatch("Object doesn't support this property or method");
}

THostScriptlet::THostScriptlet()
    : TScriptlet("Host", {"Alert", "CreateObject", "Echo", "ReadText", "WriteText"}) {}

TScriptValue THostScriptlet::CallMethod(int index, const std::vector<TScriptValue>& args) {
    static constexpr int ArgCount[] = {1, 1, 1, 1, 2};
    if (index < 0 || index > hmWriteText || static_cast<int>(args.size()) != ArgCount[index]) return {};
    switch (index) {
    case hmAlert:
        if (OnAlert) OnAlert(this, ScriptValueToString(args[0]));
        return {};
    case hmCreateObject: {
        bool allow = true;
        if (OnCreateObject) OnCreateObject(this, ScriptValueToString(args[0]), allow);
        // No class registry here: every request answers a null object.
        return TScriptNull{};
    }
    case hmEcho:
        if (OnEcho) OnEcho(this, ScriptValueToString(args[0]));
        return {};
    case hmReadText:
        return ReadWholeFile(ScriptValueToString(args[0]));
    case hmWriteText: {
        const std::string text = ScriptValueToString(args[1]);
        if (text.empty()) return {};
        std::ofstream out(ScriptValueToString(args[0]), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return {};
    }
    }
    return {};
}

TComponentScriptlet::TComponentScriptlet(IScriptableComponent* component, const std::string& name)
    : TScriptlet(name.empty() && component ? component->ComponentName() : name), FComponent(component) {}

IScriptableComponent* TComponentScriptlet::FindOwned(const std::string& name) const {
    if (!FComponent) return nullptr;
    for (IScriptableComponent* c : FComponent->OwnedComponents())
        if (c && SameText(c->ComponentName(), name)) return c;
    return nullptr;
}

std::string TComponentScriptlet::PublishedName(const std::string& name) const {
    if (!FComponent) return "";
    for (const auto& p : FComponent->PublishedProperties())
        if (SameText(p, name)) return p;
    return "";
}

bool TComponentScriptlet::HasProperty(const std::string& name) {
    return FindOwned(name) || !PublishedName(name).empty();
}

TScriptValue TComponentScriptlet::GetProperty(int index, const std::vector<TScriptValue>& args) {
    if (!args.empty()) return {};
    const std::string& name = Properties()[static_cast<size_t>(index)];
    if (IScriptableComponent* owned = FindOwned(name))
        return std::static_pointer_cast<TScriptlet>(std::make_shared<TComponentScriptlet>(owned));
    const std::string published = PublishedName(name);
    return published.empty() ? TScriptValue{} : FComponent->GetPublishedProperty(published);
}

void TComponentScriptlet::SetProperty(int index, const std::vector<TScriptValue>& args,
                                      const TScriptValue& value) {
    if (!args.empty()) return;
    const std::string& name = Properties()[static_cast<size_t>(index)];
    if (FindOwned(name)) return;
    const std::string published = PublishedName(name);
    if (!published.empty()) FComponent->SetPublishedProperty(published, value);
}

} // namespace mw
