#include "download/ScriptTools.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace mw {
namespace {

class ScriptHostTest : public ::testing::Test {
  protected:
    TJavaScript Script;
    std::shared_ptr<THostScriptlet> Host = std::make_shared<THostScriptlet>();
    std::vector<std::string> Echoes, Alerts, Errors;
    std::vector<TScriptError> ErrorRecords;

    void SetUp() override {
        Host->OnEcho = [this](THostScriptlet*, const std::string& t) { Echoes.push_back(t); };
        Host->OnAlert = [this](THostScriptlet*, const std::string& t) { Alerts.push_back(t); };
        Script.AddScriptlet(Host);
        Script.OnError = [this](TCustomScript*, const TScriptError& e) {
            ErrorRecords.push_back(e);
            Errors.push_back("Error: Line number " + std::to_string(e.Line + 1) + ", " + e.Description);
        };
    }
    void Run(std::vector<std::string> lines) {
        Script.Lines = std::move(lines);
        Script.Execute();
    }
};

TEST_F(ScriptHostTest, EchoesArriveInOrderBeforeExecuteReturns) {
    Run({"Host.Echo('x');", "Host.Echo('y' + 1);", "Host.Alert(2.5);"});
    EXPECT_EQ(Echoes, (std::vector<std::string>{"x", "y1"}));
    EXPECT_EQ(Alerts, (std::vector<std::string>{"2.5"}));
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ScriptHostTest, MethodNamesMatchInAnyCaseButGlobalNamesOnlyExactly) {
    Run({"Host.echo('a');", "HOST_unused = 1;", "host.Echo('b');"});
    EXPECT_EQ(Echoes, std::vector<std::string>{"a"});
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(ErrorRecords[0].Line, 2);
    EXPECT_EQ(Errors[0].rfind("Error: Line number 3, ", 0), 0u) << Errors[0];
}

TEST_F(ScriptHostTest, ASyntaxErrorInTheThirdLineRunsNothing) {
    Run({"Host.Echo('first');", "var a = 1;", "var b = ('unclosed;", "Host.Echo('last');"});
    EXPECT_TRUE(Echoes.empty());
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(ErrorRecords[0].Line, 2);
    EXPECT_FALSE(ErrorRecords[0].Description.empty());
}

TEST_F(ScriptHostTest, ARuntimeErrorKeepsWhatAlreadyRan) {
    Run({"Host.Echo('before');", "Host.NoSuchMethod('x');", "Host.Echo('after');"});
    EXPECT_EQ(Echoes, std::vector<std::string>{"before"});
    ASSERT_EQ(ErrorRecords.size(), 1u);
    EXPECT_EQ(ErrorRecords[0].Line, 1);
}

TEST_F(ScriptHostTest, AnErrorRaisedByAHandlerIsAScriptError) {
    Host->OnEcho = [this](THostScriptlet*, const std::string& t) {
        Echoes.push_back(t);
        throw std::invalid_argument("bad list");
    };
    Run({"Host.Echo('1');", "Host.Echo('2');"});
    EXPECT_EQ(Echoes, std::vector<std::string>{"1"});
    ASSERT_EQ(ErrorRecords.size(), 1u);
    EXPECT_NE(ErrorRecords[0].Description.find("bad list"), std::string::npos);
    EXPECT_EQ(ErrorRecords[0].Line, 0);
}

TEST_F(ScriptHostTest, CallsWithAnotherNumberOfArgumentsDoNothing) {
    Run({"var r = Host.Echo();", "Host.Echo('a', 'b');", "Host.Echo(r === undefined ? 'empty' : 'value');",
         "Host.Echo(Host.CreateObject('Scripting.FileSystemObject') === null ? 'null' : 'object');"});
    EXPECT_EQ(Echoes, (std::vector<std::string>{"empty", "null"}));
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ScriptHostTest, ReadTextAndWriteText) {
    test::TTempDir dir;
    const std::string existing = dir.Write("keep.txt", "unchanged");
    const std::string utf16 = dir.Write("wide.txt", std::string("h\0i\0", 4));
    Script.Lines = {"Host.WriteText('" + existing + "', '');",
                    "Host.WriteText('" + dir.Path() + "new.txt', 'hello');",
                    "Host.Echo(Host.ReadText('" + dir.Path() + "new.txt'));",
                    "Host.Echo('[' + Host.ReadText('" + dir.Path() + "missing.txt') + ']');",
                    "Host.Echo(Host.ReadText('" + utf16 + "'));"};
    Script.Execute();
    EXPECT_TRUE(Errors.empty()) << Errors[0];
    EXPECT_EQ(dir.Read("keep.txt"), "unchanged");
    EXPECT_EQ(Echoes, (std::vector<std::string>{"hello", "[]", "hi"}));
}

TEST_F(ScriptHostTest, ALongRunningScriptStopsWhenQueryContinueSaysNo) {
    int queries = 0;
    Script.QueryContinueIntervalMs = 20;
    Script.OnQueryContinue = [&](TCustomScript*, bool& allow) { allow = ++queries < 3; };
    const auto start = std::chrono::steady_clock::now();
    Run({"Host.Echo('start');", "while (true) {}", "Host.Echo('never');"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(queries, 3);
    EXPECT_EQ(Echoes, std::vector<std::string>{"start"});
    EXPECT_EQ(Errors.size(), 1u);
}

TEST_F(ScriptHostTest, StateEnterAndLeaveAreReported) {
    std::vector<std::string> log;
    Script.OnStateChange = [&](TCustomScript*, TScriptState s) {
        log.push_back("state" + std::to_string(s));
    };
    Script.OnEnter = [&](TCustomScript*) { log.push_back("enter"); };
    Script.OnLeave = [&](TCustomScript*) { log.push_back("leave"); };
    Run({"Host.Echo('x');"});
    Run({"Host.Echo('y');"});
    EXPECT_EQ(log, (std::vector<std::string>{"state1", "state2", "enter", "leave", "state3", "state5",
                                             "state1", "state2", "enter", "leave", "state3"}));
}

TEST_F(ScriptHostTest, NamedItemsAreUniqueByExactName) {
    Script.AddScriptlet(std::make_shared<THostScriptlet>());
    EXPECT_EQ(Script.FindScriptlet("Host"), Host);
    EXPECT_EQ(Script.FindScriptlet("host"), nullptr);
}

// A component tree for the component scriptlet.
struct TFakeComponent : IScriptableComponent {
    std::string Name;
    std::string Caption = "Main";
    bool Visible = true;
    std::vector<TFakeComponent*> Children;
    std::string ComponentName() const override { return Name; }
    std::vector<IScriptableComponent*> OwnedComponents() const override {
        return std::vector<IScriptableComponent*>(Children.begin(), Children.end());
    }
    std::vector<std::string> PublishedProperties() const override { return {"Caption", "Visible"}; }
    TScriptValue GetPublishedProperty(const std::string& n) const override {
        if (n == "Caption") return Caption;
        return Visible;
    }
    void SetPublishedProperty(const std::string& n, const TScriptValue& v) override {
        if (n == "Caption") Caption = ScriptValueToString(v);
    }
};

TEST_F(ScriptHostTest, AComponentShowsItsPropertiesAndOwnedComponents) {
    TFakeComponent form, button;
    form.Name = "FormMain";
    button.Name = "ButtonNext";
    button.Caption = "Next";
    form.Children = {&button};
    Script.AddScriptlet(std::make_shared<TComponentScriptlet>(&form, "Form"));
    Run({"Host.Echo(Form.caption);", "Host.Echo(Form.ButtonNext.Caption);", "Form.Caption = 'Changed';",
         "Host.Echo(Form.Visible);", "Form.Unknown = 1;"});
    EXPECT_EQ(Echoes, (std::vector<std::string>{"Main", "Next", "true"}));
    EXPECT_EQ(form.Caption, "Changed");
    ASSERT_EQ(ErrorRecords.size(), 1u);
    EXPECT_EQ(ErrorRecords[0].Line, 4);
}

TEST(Scriptlet, IdentifiersFollowTheMethodAndPropertyLists) {
    THostScriptlet host;
    EXPECT_EQ(host.GetIDOfName("ECHO"), TScriptlet::MethodIdBase + 2);
    EXPECT_EQ(host.GetIDOfName("nothing"), std::nullopt);
    EXPECT_THROW(host.Invoke(-512, ikPropertyGet, {}), EScriptDispatch);
    EXPECT_THROW(host.Invoke(TScriptlet::MethodIdBase + 9, ikMethod, {}), EScriptDispatch);
}

} // namespace
} // namespace mw
