#include "wizard/AboutWindow.h"

#include "app/Dispatcher.h"
#include "wizard/Globals.h"
#include "app/UtilFuncs.h"
#include "download/ExtractorProcess.h"
#include "download/ExtractorProgram.h"
#include "widgets/SkinPicture.h"
#include "wizard/platform/GuiUtils.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace mw {

namespace {

constexpr int VersionTimeLimitMs = 10000;
constexpr int UpdateTimeLimitMs = 180000;

// The last lines of what the update said, escaped: the program's words, not ours.
QString UpdateResult(const TProcessOutcome& o) {
    std::vector<std::string> lines;
    for (const std::string& l : SplitByDelimiter(o.Stdout + "\n" + o.Stderr, "\n"))
        if (!Trim(l).empty()) lines.push_back(Trim(l));
    std::string text;
    for (size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
        text += (text.empty() ? "" : "\n") + EscapeProgramText(lines[i], 200);
    if (!o.StartError.empty()) text = "The download engine could not be started: " + o.StartError;
    if (o.TimedOut) text = "The update did not end within " + std::to_string(UpdateTimeLimitMs / 1000) + " s.";
    if (text.empty()) text = o.Succeeded() ? "Done." : "The update failed.";
    return QString::fromStdString(text);
}

QLabel* LinkLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    label->setStyleSheet("color: #1a5fb4;");
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

TFormAbout::TFormAbout(QWidget* owner, const TProductConfig& config, int year)
    : QDialog(owner), ImageLeft(nullptr), FConfig(config) {
    setObjectName("FormAbout");
    setAttribute(Qt::WA_DeleteOnClose, false);
    const QString name = QString::fromStdString(config.Name);
    setWindowTitle("About " + name);
    if (config.Skin != 3) CreateLogo();
    PageControl = new QTabWidget(this);
    // The download engine's lines need room below the links.
    PageControl->setGeometry(ImageLeft ? ImageLeft->width() + 10 : 10, 10, 360, config.Download ? 330 : 240);
    PageControl->addTab(CreateAboutTab(name, year), "About");
    PageControl->addTab(CreateUpdateTab(name), "Update");
    PlaceOKButton(owner);
    if (config.Download) {
        FEnginePath = FindExtractorPath(GlobalVars.UserSettings.ExtractorPath);
        AskEngineVersion();
    }
}

void TFormAbout::CreateLogo() {
    ImageLeft = new QLabel(this);
    const std::string file = ResourceFolder(FConfig) + "leftlogo.png";
    QImage normal;
    std::string ignored;
    LoadSkinPicture(file, normal, ignored);
    const QImage doubled = LoadDoublePicture(file, normal);
    const QImage& picture = PictureForRatio(normal, doubled, devicePixelRatioF());
    // At most 260 window pixels high; on a high-density screen from the 2x picture.
    QPixmap logo;
    if (!picture.isNull()) {
        const qreal ratio = picture.devicePixelRatio();
        logo = QPixmap::fromImage(
            picture.scaledToHeight(qRound(std::min(normal.height(), 260) * ratio), Qt::SmoothTransformation));
        logo.setDevicePixelRatio(ratio);
    }
    ImageLeft->setPixmap(logo);
    ImageLeft->setGeometry(0, 0, std::max(qRound(logo.deviceIndependentSize().width()), 1), 300);
    ImageLeft->setAlignment(Qt::AlignTop);
    ImageLeft->setCursor(Qt::PointingHandCursor);
    ImageLeft->installEventFilter(this);
}

QWidget* TFormAbout::CreateAboutTab(const QString& name, int year) {
    auto* about = new QWidget;
    auto* a = new QVBoxLayout(about);
    LabelVersion = new QLabel(QString("%1").arg(QString::fromStdString(FConfig.Version)), about);
    LabalTitle = new QLabel(QString("%1 %2").arg(name, LabelVersion->text()), about);
    QFont big = LabalTitle->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    LabalTitle->setFont(big);
    LabalTitle->setWordWrap(true);
    LabelCopyright = new QLabel(
        QString("Copyright \u00a9 %1 %2").arg(year).arg(QString::fromStdString(FConfig.Copyright)), about);
    LabelWeb = LinkLabel(QString::fromStdString(FConfig.HelpHomePageLink), about);
    LabelSupport = LinkLabel(QString::fromStdString(FConfig.HelpSupportLink), about);
    LabelWeb->installEventFilter(this);
    LabelSupport->installEventFilter(this);
    a->addWidget(LabalTitle);
    a->addWidget(new QLabel("Version " + LabelVersion->text(), about));
    LabelVersion->hide();
    a->addWidget(LabelCopyright);
    a->addSpacing(10);
    a->addWidget(new QLabel("Web site:", about));
    a->addWidget(LabelWeb);
    a->addWidget(new QLabel("Support:", about));
    a->addWidget(LabelSupport);
    if (FConfig.Download) AddEngineLines(about, a);
    a->addStretch(1);
    return about;
}

void TFormAbout::AddEngineLines(QWidget* about, QVBoxLayout* a) {
    a->addSpacing(6);
    LabelDownloadEngine = new QLabel(about);
    LabelDownloadEngine->setObjectName("LabelDownloadEngine");
    LabelDownloadEngine->setTextFormat(Qt::PlainText);
    LabelDownloadEngine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ButtonUpdateEngine = new QPushButton("Update download engine", about);
    ButtonUpdateEngine->setObjectName("ButtonUpdateEngine");
    ButtonUpdateEngine->hide();
    LabelEngineUpdate = new QLabel(about);
    LabelEngineUpdate->setObjectName("LabelEngineUpdate");
    LabelEngineUpdate->setWordWrap(true);
    LabelEngineUpdate->setTextFormat(Qt::PlainText);
    LabelEngineUpdate->hide();
    a->addWidget(LabelDownloadEngine);
    a->addWidget(ButtonUpdateEngine, 0, Qt::AlignLeft);
    a->addWidget(LabelEngineUpdate);
    connect(ButtonUpdateEngine, &QPushButton::clicked, this, &TFormAbout::UpdateEngine);
}

QWidget* TFormAbout::CreateUpdateTab(const QString& name) {
    auto* update = new QWidget;
    auto* u = new QVBoxLayout(update);
    auto* explain = new QLabel("Click \"Updates...\" to look for a newer version.\n"
                               "The download page opens in your web browser.",
                               update);
    ButtonUpdates = new QPushButton("&Updates...", update);
    auto* info = new QGroupBox("Product information", update);
    auto* i = new QVBoxLayout(info);
    i->addWidget(new QLabel(name + "\nVersion " + LabelVersion->text(), info));
    u->addWidget(explain);
    u->addWidget(ButtonUpdates, 0, Qt::AlignLeft);
    u->addWidget(info);
    u->addStretch(1);
    connect(ButtonUpdates, &QPushButton::clicked, this,
            [this] { ShellOpen(FConfig.HelpCheckForUpdatesLink); });
    return update;
}

// OK below the tabs at their right edge; the window fits around them and the logo, centred over
// its owner.
void TFormAbout::PlaceOKButton(QWidget* owner) {
    ButtonOK = new QPushButton("&OK", this);
    ButtonOK->setDefault(true);
    ButtonOK->resize(90, 28);
    ButtonOK->move(PageControl->geometry().right() + 1 - ButtonOK->width(),
                   PageControl->geometry().bottom() + 10);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    const int height = ButtonOK->geometry().bottom() + 12;
    setFixedSize(PageControl->geometry().right() + 1 + 15, std::max(height, ImageLeft ? 300 : 0));
    if (owner) {
        const QRect o = owner->frameGeometry();
        move(o.left() + (o.width() - width()) / 2, o.top() + (o.height() - this->height()) / 2);
    }
}

TFormAbout::~TFormAbout() = default;

// Asked while the window shows: the program takes a moment to answer.
void TFormAbout::AskEngineVersion() {
    if (FEnginePath.empty()) {
        LabelDownloadEngine->setText(QString("Download engine: %1 was not found;\nthe built-in downloader is used.")
                                         .arg(ExtractorName));
        return;
    }
    // The program's path on a line of its own, shortened in the middle to fit (whole in the tip).
    const QString full = QString::fromStdString(EscapeProgramText(FEnginePath, 1000));
    const QString path = LabelDownloadEngine->fontMetrics().elidedText(full, Qt::ElideMiddle, 330);
    LabelDownloadEngine->setToolTip(full);
    LabelDownloadEngine->setText(QString("Download engine: %1\n%2").arg(ExtractorName, path));
    if (!MainThreadDispatcher()) return;
    if (!FEngine) FEngine = std::make_unique<TExtractorProcess>(MainThreadDispatcher());
    FEngine->CollectStdout = true;
    FEngine->OnExit = [this, path](const TProcessOutcome& o) {
        const std::string version = o.Succeeded() ? CleanExtractorVersion(o.Stdout) : "";
        LabelDownloadEngine->setText(
            QString("Download engine: %1 %2\n%3").arg(ExtractorName, QString::fromStdString(version), path));
        ButtonUpdateEngine->setVisible(IsUserOwnedProgram(FEnginePath));
        ButtonUpdateEngine->setEnabled(true);
    };
    TProcessLimits limits;
    limits.TimeLimitMs = VersionTimeLimitMs;
    limits.MaxStdoutBytes = 4096;
    FEngine->Start({FEnginePath, "--version"}, limits);
}

void TFormAbout::UpdateEngine() {
    if (!FEngine || FEngine->Running()) return;
    ButtonUpdateEngine->setEnabled(false);
    LabelEngineUpdate->setText("Updating...");
    LabelEngineUpdate->show();
    FEngine->OnExit = [this](const TProcessOutcome& o) {
        LabelEngineUpdate->setText(UpdateResult(o));
        AskEngineVersion();
    };
    TProcessLimits limits;
    limits.TimeLimitMs = UpdateTimeLimitMs;
    limits.MaxStdoutBytes = 256u << 10;
    FEngine->Start({FEnginePath, "-U"}, limits);
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == LabelWeb)
            ShellOpen(LabelWeb->text().toStdString());
        else if (watched == LabelSupport)
            ShellOpen(FConfig.HelpSupportLink);
        else if (watched == ImageLeft)
            ShellOpen(FConfig.HelpCheckForUpdatesLink);
        else
            return QDialog::eventFilter(watched, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace mw
