#include "wizard/AboutWindow.h"

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
    int tabLeft = 10;
    if (config.Skin != 3) {
        ImageLeft = new QLabel(this);
        const std::string file = ResourceFolder(config) + "leftlogo.png";
        QImage normal;
        std::string ignored;
        LoadSkinPicture(file, normal, ignored);
        const QImage doubled = LoadDoublePicture(file, normal);
        const QImage& picture = PictureForRatio(normal, doubled, devicePixelRatioF());
        // At most 260 window pixels high; on a high-density screen from the 2x picture.
        QPixmap logo;
        if (!picture.isNull()) {
            const qreal ratio = picture.devicePixelRatio();
            logo = QPixmap::fromImage(picture.scaledToHeight(qRound(std::min(normal.height(), 260) * ratio),
                                                             Qt::SmoothTransformation));
            logo.setDevicePixelRatio(ratio);
        }
        ImageLeft->setPixmap(logo);
        ImageLeft->setGeometry(0, 0, std::max(qRound(logo.deviceIndependentSize().width()), 1), 300);
        ImageLeft->setAlignment(Qt::AlignTop);
        ImageLeft->setCursor(Qt::PointingHandCursor);
        ImageLeft->installEventFilter(this);
        tabLeft = ImageLeft->width() + 10;
    }
    PageControl = new QTabWidget(this);
    PageControl->setGeometry(tabLeft, 10, 360, 240);

    auto* about = new QWidget;
    auto* a = new QVBoxLayout(about);
    LabelVersion = new QLabel(QString("%1").arg(QString::fromStdString(config.Version)), about);
    LabalTitle = new QLabel(QString("%1 %2").arg(name, LabelVersion->text()), about);
    QFont big = LabalTitle->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    LabalTitle->setFont(big);
    LabalTitle->setWordWrap(true);
    LabelCopyright = new QLabel(
        QString("Copyright \u00a9 %1 %2").arg(year).arg(QString::fromStdString(config.Copyright)), about);
    LabelWeb = LinkLabel(QString::fromStdString(config.HelpHomePageLink), about);
    LabelSupport = LinkLabel(QString::fromStdString(config.HelpSupportLink), about);
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
    a->addStretch(1);
    PageControl->addTab(about, "About");

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
    PageControl->addTab(update, "Update");
    connect(ButtonUpdates, &QPushButton::clicked, this,
            [this] { ShellOpen(FConfig.HelpCheckForUpdatesLink); });

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
