#include "wizard/ShutdownWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace mw {

namespace {

QString TimeLeftText(int counter) {
    return QString("Time left: %1").arg(counter);
}

} // namespace

TFormShutdown::TFormShutdown(QWidget* parent, const QString& title, int tickMs) : QDialog(parent) {
    setObjectName("FormShutdown");
    setWindowTitle("Shutdown");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(10);
    auto* warning = new QLabel("Warning!", this);
    QFont bold = warning->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    warning->setFont(bold);
    layout->addWidget(warning);
    auto* text =
        new QLabel("If you don't press cancel now, \n" + title + "\nwill shut down the computer.", this);
    layout->addWidget(text);
    LabelTimeOut = new QLabel(TimeLeftText(FCounter), this);
    LabelTimeOut->setObjectName("LabelTimeOut");
    layout->addWidget(LabelTimeOut);
    ButtonCancel = new QPushButton("&Cancel", this);
    ButtonCancel->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonCancel);
    layout->addLayout(buttons);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    TimerShutdown = new QTimer(this);
    TimerShutdown->setInterval(tickMs);
    connect(TimerShutdown, &QTimer::timeout, this, &TFormShutdown::Tick);
    TimerShutdown->start();
}

void TFormShutdown::Tick() {
    if (--FCounter < 0) {
        TimerShutdown->stop();
        accept();
        return;
    }
    LabelTimeOut->setText(TimeLeftText(FCounter));
}

} // namespace mw
