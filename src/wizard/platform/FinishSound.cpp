#include "wizard/platform/FinishSound.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace mw {

TFinishSound::TFinishSound() = default;
TFinishSound::~TFinishSound() = default;

void TFinishSound::Play(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo(file).isFile()) return;
    // Created on first use: without a sound there is no need to open the audio system.
    if (!FEffect) FEffect = std::make_unique<QSoundEffect>();
    FEffect->stop();
    FEffect->setSource(QUrl::fromLocalFile(file));
    FEffect->play();
}

} // namespace mw
