// Loading the skin's pictures (at their size and, for high-density screens, at twice their size) and
// shaping a window by its frame picture's magenta.
#pragma once

#include <QImage>
#include <QRegion>
#include <string>

namespace mw {

// Loads a picture of the resource folder; false with a readable error for a missing or broken file.
bool LoadSkinPicture(const std::string& file, QImage& image, std::string& error);

// The @2x file beside a picture: "main.bmp" → "main@2x.bmp".
std::string DoublePictureFile(const std::string& file);
// The @2x picture of normal, its device-pixel ratio set to 2, so it paints at normal's size. A null
// image when there is none, it cannot be read, or it is not exactly twice normal's size (a stale
// picture would misplace everything drawn over it).
QImage LoadDoublePicture(const std::string& file, const QImage& normal);
// What to paint on a screen of that device-pixel ratio: the 2x picture above 1 when there is one.
inline const QImage& PictureForRatio(const QImage& normal, const QImage& doubled, qreal ratio) {
    return ratio > 1 && !doubled.isNull() ? doubled : normal;
}

// The region of every pixel that is not magenta (255, 0, 255).
QRegion OpaqueRegion(const QImage& frame);

} // namespace mw
