// The main window over a fresh settings folder, for the desktop's widget tests: editions from
// INI lines, message boxes answered by the test, a conversion edition standing on its output page.
#pragma once

#include "TempDir.h"
#include "wizard/Globals.h"
#include "app/PowerActions.h"
#include "app/ProductConfig.h"
#include "engine/Bitmap.h"
#include "wizard/ConvertingView.h"
#include "wizard/FilePage.h"
#include "wizard/LogWindow.h"
#include "wizard/MainWindow.h"
#include "wizard/Previewer.h"
#include "wizard/platform/GuiUtils.h"
#include "wizard/platform/QtDispatcher.h"

#include <QColor>
#include <QLabel>
#include <QList>
#include <QStringList>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace mw::test {

// A product configuration file from INI lines (complemented as the program stores it).
inline std::string WriteConfig(const TTempDir& dir, const std::vector<std::string>& extra) {
    std::vector<std::string> lines = {
        "[SYSTEM]",       "Name=Widget Test", "Version=2.1",    "Copyright=Test Holder",
        "DefaultVideo=0", "DefaultDevice=0",  "DefaultAudio=0", "DefaultClass=0"};
    lines.insert(lines.end(), extra.begin(), extra.end());
    const std::string path = dir.Path() + "lamecore.dll";
    std::ofstream out(path, std::ios::binary);
    for (const std::string& l : lines)
        out << DecodeConfigLine(l) << "\n";
    return path;
}

inline std::vector<std::string> Flags(const std::vector<std::string>& keys) {
    std::vector<std::string> lines;
    for (const std::string& k : keys)
        lines.push_back(k + "=Yes");
    return lines;
}

inline const std::vector<std::string> AllVideo = {"AVI", "MP4", "FLV", "SWF", "MPEG",
                                                  "RM",  "WMV", "MOV", "3GP"};
inline const std::vector<std::string> AllDevice = {"IPOD",       "IPHONE",      "APPLETV", "PSP",
                                                   "BLACKBERRY", "MOBILEPHONE", "IPAD",    "ANDROID"};
inline const std::vector<std::string> AllAudio = {"WAV", "MP3", "WMA", "OGG", "AAC", "M4A", "FLAC", "MP2"};

inline std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A window over a fresh settings folder; message boxes are answered by Answer and recorded.
struct TWindow {
    explicit TWindow(std::vector<std::string> lines) {
        setenv("XDG_CONFIG_HOME", (Dir.Path() + "cfg").c_str(), 1);
        Dir.Write("cfg/.keep", "");
        GlobalVars = TGlobalVars{};
        SetMessageHook([this](const std::string& message, const std::string&, TMsgDlgType, unsigned) {
            Messages.push_back(message);
            return Answer;
        });
        Main = std::make_unique<TFormMain>(&Log, WriteConfig(Dir, lines));
        if (Main->FilePage) Main->FilePage->OnFailedAdd = [this] { ++FailedDialogs; };
    }
    ~TWindow() { SetMessageHook({}); }
    TTempDir Dir;
    TFormLog Log;
    std::unique_ptr<TFormMain> Main;
    std::vector<std::string> Messages;
    int Answer = mrYes;
    int FailedDialogs = 0;
};

// Records the power actions instead of performing them.
struct TFakePowerService : IPowerService {
    explicit TFakePowerService(std::vector<std::string>& calls) : Calls(calls) {}
    void QuitApplication() override { Calls.push_back("quit"); }
    bool PowerOff() override { return Calls.push_back("poweroff"), true; }
    bool Reboot() override { return Calls.push_back("reboot"), true; }
    bool Hibernate() override { return Calls.push_back("hibernate"), true; }
    bool Suspend() override { return Calls.push_back("suspend"), true; }
    std::vector<std::string>& Calls;
};

// An audio edition window with the sources in its list and MP3 chosen into a fresh folder,
// standing on the output page; the dispatcher carries the encoder's notices to the GUI thread.
struct TConversionWindow : TWindow {
    explicit TConversionWindow(const QStringList& sources, const std::vector<std::string>& extra = {})
        : TWindow(Join({Flags(AllAudio), {"Skin=0", "ResFolder=full"}, extra})) {
        SetMainThreadDispatcher(&Dispatcher);
        Main->FilePage->AddSourceFiles(sources);
        TUserSettings& s = GlobalVars.UserSettings;
        s.OutputSelection.OutputFormatClass = fcAudio;
        *s.OutputSelection.FormatOfClass(fcAudio) = 1; // MP3
        s.OutputFileDir = Dir.Path() + "out/";
        Main->Controller()->ApplyStep2Settings();
        Main->OutputPageApplied();
        Main->Controller()->ShowPage(TWizardPage::Step2);
        Main->SetPowerService(std::make_unique<TFakePowerService>(PowerCalls));
        if (Main->Converting())
            Main->Converting()->OnPlaySound = [this](const std::string& name) { Sounds.push_back(name); };
    }
    ~TConversionWindow() {
        Main.reset();
        SetMainThreadDispatcher(nullptr);
    }
    QString Count(QLabel* label) const { return label->text(); }
    TQtDispatcher Dispatcher;
    std::vector<std::string> PowerCalls, Sounds;
};

inline TBitmap Picture(int width, int height, QColor color) {
    TBitmap bitmap;
    bitmap.SetFormat(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            p[0] = static_cast<uint8_t>(color.blue());
            p[1] = static_cast<uint8_t>(color.green());
            p[2] = static_cast<uint8_t>(color.red());
        }
    return bitmap;
}

inline QList<TPreviewWindow*> ShownPreviews(QWidget* anchor) {
    QList<TPreviewWindow*> shown;
    for (TPreviewWindow* w : anchor->findChildren<TPreviewWindow*>())
        if (w->isVisible()) shown << w;
    return shown;
}

} // namespace mw::test
