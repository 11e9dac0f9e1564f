// Build step: renders one edition's window pictures from the SVG sources in resources/artwork, so the
// repository holds editable text instead of opaque bitmaps.
//
//   mw-render-artwork <artwork folder> <edition.ini> <output folder>
//   mw-render-artwork --icon <icon.svg> <app id> <icon theme folder> <icon.ico>
//
// The edition file gives the product name, the skin and the picture folder name. skins.ini gives each
// skin's palette, sizes and positions; templates use ${name} for a value and ${include:part} for the text
// of part.svg. A template "x.skinN.svg" replaces "x.svg" for skin N. Every picture is written twice: at
// its size ("x.png") and at twice its size for high-density screens ("x@2x.png").
//
// The icon form renders the application icon into a hicolor theme tree (scalable and the fixed sizes)
// and the window icon file beside the programs.
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

using Vars = QMap<QString, QString>;

struct Fail : std::runtime_error {
    using std::runtime_error::runtime_error;
};

QString ReadText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) throw Fail("cannot read " + path.toStdString());
    return QString::fromUtf8(f.readAll());
}

// INI sections as maps; keys keep their case. Lines starting with '#' or ';' are comments.
QMap<QString, Vars> ReadIni(const QString& path) {
    QMap<QString, Vars> sections;
    QString section;
    const QStringList lines = ReadText(path).split('\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';')) continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed().toLower();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) sections[section][line.left(eq).trimmed()] = line.mid(eq + 1).trimmed();
    }
    return sections;
}

QSize ParseSize(const QString& text) {
    const QStringList p = text.split('x');
    if (p.size() != 2) throw Fail("bad size '" + text.toStdString() + "'");
    return {p[0].toInt(), p[1].toInt()};
}

QPoint ParsePoint(const QString& text) {
    const QStringList p = text.split(',');
    if (p.size() != 2) throw Fail("bad position '" + text.toStdString() + "'");
    return {p[0].trimmed().toInt(), p[1].trimmed().toInt()};
}

struct FormatInfo {
    const char* key;   // file name part
    const char* label; // large type on the button
    const char* kind;  // pictogram: video, device or audio
    int cls;           // 0 video, 1 device, 2 audio: one type size per class
};

const FormatInfo kFormats[] = {
    {"avi", "AVI", "video", 0},
    {"mp4", "MP4", "video", 0},
    {"flv", "FLV", "video", 0},
    {"swf", "SWF", "video", 0},
    {"mpeg", "MPEG", "video", 0},
    {"rm", "RM", "video", 0},
    {"wmv", "WMV", "video", 0},
    {"mov", "MOV", "video", 0},
    {"3gp", "3GP", "video", 0},
    {"ipod", "iPod", "device", 1},
    {"iphone", "iPhone", "phone", 1},
    {"appletv", "AppleTV", "tv", 1},
    {"psp", "PSP", "handheld", 1},
    {"blackberry", "BlackBerry", "qwerty", 1},
    {"mobilephone", "Mobile", "keypad", 1},
    {"ipad", "iPad", "tablet", 1},
    {"android", "Android", "phone", 1},
    {"wav", "WAV", "audio", 2},
    {"mp3", "MP3", "audio", 2},
    {"wma", "WMA", "audio", 2},
    {"ogg", "OGG", "audio", 2},
    {"aac", "AAC", "audio", 2},
    {"m4a", "M4A", "audio", 2},
    {"flac", "FLAC", "audio", 2},
    {"mp2", "MP2", "audio", 2},
};

struct ClassInfo {
    const char* key;
    const char* label;
    const char* kind;
};

const ClassInfo kClasses[] = {
    {"video", "Video", "video"}, {"device", "Device", "phone"}, {"audio", "Audio", "audio"}};

// Replaces every match by what fill makes of its first group; a few passes let values refer to values.
template <typename Fill> void ReplaceAll(QString& text, const QRegularExpression& re, Fill fill) {
    for (int pass = 0; pass < 4 && re.match(text).hasMatch(); ++pass) {
        QString out;
        qsizetype last = 0;
        for (auto it = re.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            out += text.mid(last, m.capturedStart() - last) + fill(m.captured(1));
            last = m.capturedEnd();
        }
        text = out + text.mid(last);
    }
}

class Renderer {
  public:
    Renderer(QString artDir, int skin, Vars vars)
        : dir_(std::move(artDir)), skin_(skin), vars_(std::move(vars)) {}

    // Template text with includes and values filled in; unknown names stop the build.
    QByteArray Expand(const QString& name, const Vars& extra) const {
        QString text = ReadText(TemplatePath(name));
        static const QRegularExpression include(R"(\$\{include:([A-Za-z0-9_-]+)\})");
        ReplaceAll(text, include, [&](const QString& part) {
            // The part may be named directly or through a value (a button's pictogram).
            const bool named = extra.contains(part) || vars_.contains(part);
            return ReadText(TemplatePath(named ? Value(extra, part) : part));
        });
        static const QRegularExpression var(R"(\$\{([A-Za-z0-9_]+)\})");
        ReplaceAll(text, var, [&](const QString& key) { return Value(extra, key); });
        if (text.contains("${")) throw Fail(name.toStdString() + ": unresolved ${...}");
        return text.toUtf8();
    }

    // The picture at size × scale pixels; the template still sees the size, so the drawing only grows.
    QImage Render(const QString& name, QSize size, const Vars& extra, int scale = 1) const {
        Vars all = extra;
        all["w"] = QString::number(size.width());
        all["h"] = QString::number(size.height());
        // Inner sizes for a 1-pixel border drawn on the half pixel, and for an inset highlight.
        all["wi"] = QString::number(size.width() - 1);
        all["hi"] = QString::number(size.height() - 1);
        all["wg"] = QString::number(size.width() - 4);
        all["cx"] = QString::number(size.width() / 2.0);
        all["cy"] = QString::number(size.height() / 2.0);
        QSvgRenderer svg(Expand(name, all));
        if (!svg.isValid()) throw Fail(name.toStdString() + ": invalid SVG");
        QImage img(size * scale, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
        svg.render(&p, QRectF(QPointF(0, 0), size * scale));
        return img;
    }

    QString Var(const QString& key) const { return Value({}, key); }

  private:
    QString TemplatePath(const QString& name) const {
        const QString own = dir_ + "/" + name + ".skin" + QString::number(skin_) + ".svg";
        return QFile::exists(own) ? own : dir_ + "/" + name + ".svg";
    }

    QString Value(const Vars& extra, const QString& key) const {
        if (extra.contains(key)) return extra[key];
        if (vars_.contains(key)) return vars_[key];
        throw Fail("no value for '" + key.toStdString() + "' in skin " + std::to_string(skin_));
    }

    QString dir_;
    int skin_;
    Vars vars_;
};

// The values of state n: every key "x_n" also answers as "x".
Vars StateVars(const Vars& skinVars, int n) {
    Vars v;
    const QString suffix = "_" + QString::number(n);
    for (auto it = skinVars.begin(); it != skinVars.end(); ++it)
        if (it.key().endsWith(suffix)) v[it.key().chopped(suffix.size())] = it.value();
    v["state"] = QString::number(n);
    return v;
}

// The frame becomes opaque: mostly transparent pixels turn into the magenta key, the rest keep their
// colour at full strength so no pink fringe shows along the shaped edge.
QImage KeyedFrame(const QImage& rendered) {
    QImage argb = rendered.convertToFormat(QImage::Format_ARGB32);
    QImage out(argb.size(), QImage::Format_RGB888);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = src[x];
            QColor colour = qAlpha(c) < 128 ? QColor(255, 0, 255) : QColor(qRed(c), qGreen(c), qBlue(c));
            // A drawn pixel that happens to be the key colour would punch a hole in the window.
            if (qAlpha(c) >= 128 && colour == QColor(255, 0, 255)) colour = QColor(254, 0, 254);
            out.setPixelColor(x, y, colour);
        }
    }
    return out;
}

// The frame at twice its size keeps the outline of the frame at its size: a window mask is set in
// whole window pixels, so a 2x pixel is the key colour exactly where its 1x pixel is. Inside, a 2x
// pixel the drawing left (nearly) transparent takes its 1x pixel's colour.
QImage KeyedDoubleFrame(const QImage& rendered, const QImage& keyed) {
    QImage argb = rendered.convertToFormat(QImage::Format_ARGB32);
    QImage out(argb.size(), QImage::Format_RGB888);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QColor parent = keyed.pixelColor(x / 2, y / 2);
            const QRgb c = src[x];
            QColor colour = parent;
            if (parent != QColor(255, 0, 255) && qAlpha(c) >= 128) {
                colour = QColor(qRed(c), qGreen(c), qBlue(c));
                if (colour == QColor(255, 0, 255)) colour = QColor(254, 0, 254);
            }
            out.setPixelColor(x, y, colour);
        }
    }
    return out;
}

void Save(const QImage& img, const QString& path, const char* format) {
    if (!img.save(path, format)) throw Fail("cannot write " + path.toStdString());
}

// "x.png" and its twice-as-large "x@2x.png".
QString DoubleName(const QString& path) {
    const qsizetype dot = path.lastIndexOf('.');
    return path.left(dot) + "@2x" + path.mid(dot);
}

// Bitmap buttons sit on the frame: their background is the frame under them, drawn with the button on
// top, so rounded button shapes blend into the window.
void SaveOnFrame(const QImage& frame, const QImage& button, QPoint at, const QString& path) {
    QImage base = frame.copy(QRect(at, button.size())).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&base);
    p.drawImage(0, 0, button);
    p.end();
    Save(base.convertToFormat(QImage::Format_RGB888), path, "BMP");
}

// Renders one picture at 1x and 2x and saves both.
template <typename SaveOne>
void RenderBoth(const Renderer& r, const QString& name, QSize size, const Vars& v, SaveOne save) {
    for (int scale : {1, 2})
        save(r.Render(name, size, v, scale), scale);
}

// Width of the text in the bold face at 100 pixels.
double LabelWidth100(const QString& family, const QString& text) {
    QFont font(family);
    font.setPixelSize(100);
    font.setBold(true);
    return QFontMetricsF(font).horizontalAdvance(text);
}

// The one pixel size of a class's labels, from minPx to maxPx: the largest at which every label
// fits the width, its longest narrowed to no less than minStretch.
int ClassLabelSize(const QString& family, const QStringList& labels, double width, int minPx, int maxPx,
                   double minStretch) {
    double size = maxPx;
    for (const QString& label : labels)
        size = std::min(size, width * 100 / (LabelWidth100(family, label) * minStretch));
    return std::max(minPx, static_cast<int>(size));
}

// Horizontal scale of a label at that size: 1, or the narrowing that makes it fit.
double LabelStretch(const QString& family, const QString& text, double width, int sizePx) {
    return std::min(1.0, width * 100 / (LabelWidth100(family, text) * sizePx));
}

void RenderEdition(const QString& artDir, const QString& editionIni, const QString& outDir) {
    const Vars edition = ReadIni(editionIni).value("system");
    const QString name = edition.value("Name");
    const int skin = edition.value("Skin").toInt();
    const auto skins = ReadIni(artDir + "/skins.ini");
    const QString section = "skin" + QString::number(skin);
    if (!skins.contains(section)) throw Fail("skins.ini has no [" + section.toStdString() + "]");
    Vars vars = skins.value("common");
    const Vars own = skins.value(section);
    for (auto it = own.begin(); it != own.end(); ++it)
        vars[it.key()] = it.value();
    // "Kestrel Media Wizard": the first word is the maker's mark, the rest the product.
    vars["name"] = name.toHtmlEscaped();
    vars["brand"] = name.section(' ', 0, 0).toHtmlEscaped();
    vars["product"] = name.section(' ', 1).toHtmlEscaped();
    vars["brand_upper"] = name.section(' ', 0, 0).toUpper().toHtmlEscaped();
    vars["product1"] = name.section(' ', 1, 1).toHtmlEscaped();
    vars["product2"] = name.section(' ', 2).toHtmlEscaped();
    const Renderer r(artDir, skin, vars);
    const QString out = outDir + "/";

    const QSize frameSize = ParseSize(r.Var("frame_size"));
    const QImage frame = KeyedFrame(r.Render("frame", frameSize, {}));
    const QImage frames[] = {frame, KeyedDoubleFrame(r.Render("frame", frameSize, {}, 2), frame)};
    // Writes a picture under its name, or the 2x one under the @2x name.
    auto png = [&](const QString& file) {
        return [&, file](const QImage& img, int scale) {
            Save(img, out + (scale == 1 ? file : DoubleName(file)), "PNG");
        };
    };
    for (const char* logo : {"toplogo", "leftlogo"})
        RenderBoth(r, logo, ParseSize(r.Var(QString(logo) + "_size")), {}, png(QString(logo) + ".png"));
    RenderBoth(r, "mode_download", ParseSize(r.Var("mode_size")), {}, png("downloadyoutube.png"));
    RenderBoth(r, "mode_convert", ParseSize(r.Var("mode_size")), {}, png("youtubeconvert.png"));
    RenderBoth(r, "audioicon", QSize(118, 78), {}, png("audioicon.png"));
    RenderBoth(r, "videoicon", QSize(118, 78), {}, png("videoicon.png"));
    RenderBoth(r, "promotion", ParseSize(r.Var("promotion_size")), {}, png("promotion.png"));

    struct FrameButton {
        const char* file;
        int states;
    };
    for (const FrameButton& b : {FrameButton{"min", 3}, FrameButton{"close", 3}, FrameButton{"bottom", 4}}) {
        const QString key = b.file;
        const QPoint at = ParsePoint(r.Var(key + "_pos"));
        for (int n = 1; n <= b.states; ++n) {
            const QString file = out + key + "_" + QString::number(n) + ".bmp";
            RenderBoth(r, "button_" + key, ParseSize(r.Var(key + "_size")), StateVars(vars, n),
                       [&](const QImage& img, int scale) {
                           SaveOnFrame(frames[scale - 1], img, at * scale,
                                       scale == 1 ? file : DoubleName(file));
                       });
        }
    }

    const QString font = r.Var("font");
    // A missing font still renders, in a fallback face; say so, since the pictures will look off.
    if (const QString used = QFontInfo(QFont(font)).family(); used != font)
        std::fprintf(stderr, "mw-render-artwork: font '%s' not installed, drawn with '%s'\n",
                     qPrintable(font), qPrintable(used));
    for (const ClassInfo& c : kClasses)
        for (int n = 1; n <= 4; ++n) {
            Vars v = StateVars(vars, n);
            v["label"] = c.label;
            v["glyph"] = QString("glyph_") + c.kind;
            RenderBoth(r, "class", QSize(165, 32), v,
                       png(QString("class_") + c.key + "_" + QString::number(n) + ".png"));
        }
    int labelSizes[3] = {};
    for (int c = 0; c < 3; ++c) {
        QStringList labels;
        for (const FormatInfo& f : kFormats)
            if (f.cls == c) labels << f.label;
        labelSizes[c] = ClassLabelSize(font, labels, 54, r.Var("format_label_min").toInt(),
                                       r.Var("format_label_max").toInt(), r.Var("format_label_stretch").toDouble());
    }
    for (const FormatInfo& f : kFormats)
        for (int n = 1; n <= 4; ++n) {
            Vars v = StateVars(vars, n);
            v["label"] = f.label;
            const int size = labelSizes[f.cls];
            v["label_size"] = QString::number(size);
            v["label_stretch"] = QString::number(LabelStretch(font, f.label, 54, size), 'f', 3);
            v["glyph"] = QString("glyph_") + f.kind;
            RenderBoth(r, "format", QSize(62, 57), v,
                       png(QString("format_") + f.key + "_" + QString::number(n) + ".png"));
        }
    Save(frames[1], DoubleName(out + "main.bmp"), "BMP");
    // Written last: the build treats it as the mark that the folder is complete.
    Save(frame, out + "main.bmp", "BMP");
}

void Put16(QByteArray& b, quint16 v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>(v >> 8));
}

void Put32(QByteArray& b, quint32 v) {
    Put16(b, static_cast<quint16>(v & 0xFFFF));
    Put16(b, static_cast<quint16>(v >> 16));
}

// One icon entry: a 32-bit bottom-up device-independent bitmap with its (empty) AND mask, which every
// reader of the format takes, whatever the size.
QByteArray IcoImage(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int size = argb.width();
    QByteArray b;
    Put32(b, 40);
    Put32(b, static_cast<quint32>(size));
    Put32(b, static_cast<quint32>(size * 2)); // colour rows plus mask rows
    Put16(b, 1);
    Put16(b, 32);
    for (int i = 0; i < 6; ++i)
        Put32(b, 0);
    for (int y = size - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            b.append(static_cast<char>(qBlue(row[x])));
            b.append(static_cast<char>(qGreen(row[x])));
            b.append(static_cast<char>(qRed(row[x])));
            b.append(static_cast<char>(qAlpha(row[x])));
        }
    }
    b.append(QByteArray(((size + 31) / 32) * 4 * size, '\0'));
    return b;
}

QByteArray IcoFile(const QList<QImage>& images) {
    QByteArray ico;
    Put16(ico, 0);
    Put16(ico, 1);
    Put16(ico, static_cast<quint16>(images.size()));
    QList<QByteArray> data;
    for (const QImage& img : images)
        data << IcoImage(img);
    auto offset = static_cast<quint32>(6 + 16 * images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        ico.append(static_cast<char>(size >= 256 ? 0 : size)); // 0 stands for 256
        ico.append(static_cast<char>(size >= 256 ? 0 : size));
        ico.append('\0');
        ico.append('\0');
        Put16(ico, 1);
        Put16(ico, 32);
        Put32(ico, static_cast<quint32>(data[i].size()));
        Put32(ico, offset);
        offset += static_cast<quint32>(data[i].size());
    }
    for (const QByteArray& d : data)
        ico += d;
    return ico;
}

QImage RenderIcon(QSvgRenderer& svg, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    svg.render(&p, QRectF(0, 0, size, size));
    return img;
}

// The application icon from its SVG source: the hicolor theme's scalable and fixed sizes, named after
// the application id, and the window icon file with the sizes a window manager asks for.
void RenderAppIcon(const QString& svgPath, const QString& appId, const QString& themeDir,
                   const QString& icoPath) {
    QSvgRenderer svg(svgPath);
    if (!svg.isValid()) throw Fail(svgPath.toStdString() + ": invalid SVG");
    const QString scalable = themeDir + "/scalable/apps";
    if (!QDir().mkpath(scalable)) throw Fail("cannot create " + scalable.toStdString());
    const QString svgCopy = scalable + "/" + appId + ".svg";
    QFile::remove(svgCopy);
    if (!QFile::copy(svgPath, svgCopy)) throw Fail("cannot write " + svgCopy.toStdString());
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString dir = themeDir + QString("/%1x%1/apps").arg(size);
        if (!QDir().mkpath(dir)) throw Fail("cannot create " + dir.toStdString());
        Save(RenderIcon(svg, size), dir + "/" + appId + ".png", "PNG");
    }
    QList<QImage> images;
    for (int size : {16, 32, 48, 256})
        images << RenderIcon(svg, size);
    QFile ico(icoPath);
    if (!ico.open(QIODevice::WriteOnly | QIODevice::Truncate) || ico.write(IcoFile(images)) < 0 ||
        !ico.flush())
        throw Fail("cannot write " + icoPath.toStdString());
}

} // namespace

int main(int argc, char** argv) {
    const bool icon = argc == 6 && std::string(argv[1]) == "--icon";
    if (argc != 4 && !icon) {
        std::fprintf(stderr,
                     "usage: %s <artwork folder> <edition.ini> <output folder>\n"
                     "       %s --icon <icon.svg> <app id> <icon theme folder> <icon.ico>\n",
                     argv[0], argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    try {
        if (icon)
            RenderAppIcon(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5]));
        else
            RenderEdition(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                          QString::fromLocal8Bit(argv[3]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mw-render-artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}
