#include "widgets/SkinPicture.h"

#include <QBitmap>
#include <QFileInfo>
#include <QImageReader>

namespace mw {

bool LoadSkinPicture(const std::string& file, QImage& image, std::string& error) {
    const QString name = QString::fromStdString(file);
    if (!QFileInfo(name).isFile()) {
        error = "Cannot open file \"" + file + "\". No such file or directory";
        return false;
    }
    QImageReader reader(name);
    // Bounded: a hostile header must not make us allocate gigabytes.
    reader.setAllocationLimit(64);
    image = reader.read();
    if (image.isNull()) {
        error = "Cannot load picture \"" + file + "\": " + reader.errorString().toStdString();
        return false;
    }
    return true;
}

QRegion OpaqueRegion(const QImage& frame) {
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    return QRegion(QBitmap::fromImage(rgb.createMaskFromColor(qRgb(255, 0, 255), Qt::MaskOutColor)));
}

} // namespace mw
