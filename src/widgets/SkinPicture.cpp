#include "widgets/SkinPicture.h"

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

std::string DoublePictureFile(const std::string& file) {
    const size_t slash = file.find_last_of('/');
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return file + "@2x";
    return file.substr(0, dot) + "@2x" + file.substr(dot);
}

QImage LoadDoublePicture(const std::string& file, const QImage& normal) {
    QImage doubled;
    std::string ignored;
    if (normal.isNull() || !QFileInfo(QString::fromStdString(DoublePictureFile(file))).isFile() ||
        !LoadSkinPicture(DoublePictureFile(file), doubled, ignored) || doubled.size() != normal.size() * 2)
        return {};
    doubled.setDevicePixelRatio(2);
    return doubled;
}

QRegion OpaqueRegion(const QImage& frame) {
    // Runs of non-magenta pixels per row: explicit, whatever bit order a mono mask would use.
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    const QRgb magenta = qRgb(255, 0, 255);
    QRegion region;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < rgb.width()) {
            while (x < rgb.width() && (row[x] & 0xffffff) == (magenta & 0xffffff))
                ++x;
            const int start = x;
            while (x < rgb.width() && (row[x] & 0xffffff) != (magenta & 0xffffff))
                ++x;
            if (x > start) region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

} // namespace mw
