// Scriptlets: objects that a script reaches by name and calls late-bound (methods and
// properties resolved by name without regard to case), and the values that cross the boundary.
// Everything here runs on the thread that runs the script (the main thread).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace mw {

class TScriptlet;
struct TScriptNull {
    bool operator==(const TScriptNull&) const = default;
};
// Empty (undefined), null, Boolean, number, string, or an object.
using TScriptValue =
    std::variant<std::monostate, TScriptNull, bool, double, std::string, std::shared_ptr<TScriptlet>>;

// The text a script would get from String(value).
std::string ScriptValueToString(const TScriptValue& value);

// Failures of the late-bound call interface.
class EScriptDispatch : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum TInvokeKind { ikMethod, ikPropertyGet, ikPropertyPut };

class TScriptlet {
  public:
    static constexpr int MethodIdBase = 512;

    explicit TScriptlet(std::string name, std::vector<std::string> methods = {});
    virtual ~TScriptlet() = default;

    std::string Name;
    const std::vector<std::string>& Methods() const { return FMethods; }
    const std::vector<std::string>& Properties() const { return FProperties; }

    // Methods yield 512 + index, properties index - 512 (the list grows on demand); nullopt when unknown.
    std::optional<int> GetIDOfName(const std::string& name);
    // Throws EScriptDispatch for an index out of range or a put without a value.
    TScriptValue Invoke(int id, TInvokeKind kind, const std::vector<TScriptValue>& args);

  protected:
    virtual bool HasProperty(const std::string&) { return false; }
    virtual TScriptValue CallMethod(int, const std::vector<TScriptValue>&) { return {}; }
    virtual TScriptValue GetProperty(int, const std::vector<TScriptValue>&) { return {}; }
    virtual void SetProperty(int, const std::vector<TScriptValue>&, const TScriptValue&) {}

  private:
    std::vector<std::string> FMethods;
    std::vector<std::string> FProperties;
};

// "Host": Alert, CreateObject, Echo, ReadText, WriteText. A call with another number of arguments
// than the method takes does nothing and returns an empty value.
class THostScriptlet : public TScriptlet {
  public:
    THostScriptlet();
    std::function<void(THostScriptlet*, const std::string& text)> OnAlert;
    std::function<void(THostScriptlet*, const std::string& progID, bool& allow)> OnCreateObject;
    std::function<void(THostScriptlet*, const std::string& text)> OnEcho;

  protected:
    TScriptValue CallMethod(int index, const std::vector<TScriptValue>& args) override;
};

// The little a component shows of itself to scripts: its name, the components it owns, and its
// published properties (enumerations and sets as their names).
class IScriptableComponent {
  public:
    virtual ~IScriptableComponent() = default;
    virtual std::string ComponentName() const = 0;
    virtual std::vector<IScriptableComponent*> OwnedComponents() const { return {}; }
    virtual std::vector<std::string> PublishedProperties() const { return {}; }
    virtual TScriptValue GetPublishedProperty(const std::string&) const { return {}; }
    virtual void SetPublishedProperty(const std::string&, const TScriptValue&) {}
};

// A component as a script object: no methods; its owned components and published properties.
class TComponentScriptlet : public TScriptlet {
  public:
    explicit TComponentScriptlet(IScriptableComponent* component, const std::string& name = "");

  protected:
    bool HasProperty(const std::string& name) override;
    TScriptValue GetProperty(int index, const std::vector<TScriptValue>& args) override;
    void SetProperty(int index, const std::vector<TScriptValue>& args, const TScriptValue& value) override;

  private:
    IScriptableComponent* FindOwned(const std::string& name) const;
    std::string PublishedName(const std::string& name) const;
    IScriptableComponent* FComponent;
};

} // namespace mw
