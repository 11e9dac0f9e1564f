// Loading the skin's pictures and shaping a window by its frame picture's magenta.
#pragma once

#include <QImage>
#include <QRegion>
#include <string>

namespace mw {

// Loads a picture of the resource folder; false with a readable error for a missing or broken file.
bool LoadSkinPicture(const std::string& file, QImage& image, std::string& error);

// The region of every pixel that is not magenta (255, 0, 255).
QRegion OpaqueRegion(const QImage& frame);

} // namespace mw
