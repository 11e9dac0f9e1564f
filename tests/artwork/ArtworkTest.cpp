// The rendered picture folders: every file the window loads is there, at the size its place needs, and
// the frame's transparent key colour only cuts the window's outline.
#include <QDir>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <queue>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Edition {
    std::string folder;
    int skin = -1;
};

std::string ValueOf(const fs::path& ini, const std::string& key) {
    std::ifstream in(ini);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos && line.compare(0, eq, key) == 0) {
            std::string v = line.substr(eq + 1);
            while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back())))
                v.pop_back();
            return v;
        }
    }
    return {};
}

std::vector<Edition> Editions() {
    std::vector<Edition> out;
    for (const auto& e : fs::directory_iterator(fs::path(MW_TEST_SOURCE_DIR) / "resources/editions"))
        if (e.path().extension() == ".ini")
            out.push_back({ValueOf(e.path(), "ResFolder"), std::stoi(ValueOf(e.path(), "Skin"))});
    return out;
}

QString Folder(const Edition& e) {
    return QString::fromStdString((fs::path(MW_TEST_RUN_DIR) / "sounds" / e.folder).string()) + "/";
}

bool IsKey(QRgb c) {
    return (c & 0xFFFFFF) == 0xFF00FF;
}

TEST(Artwork, EveryFolderHoldsEveryPictureAtItsSize) {
    const char* formats[] = {"avi",         "mp4",  "flv",     "swf",    "mpeg",    "rm",  "wmv",
                             "mov",         "3gp",  "ipod",    "iphone", "appletv", "psp", "blackberry",
                             "mobilephone", "ipad", "android", "wav",    "mp3",     "wma", "ogg",
                             "aac",         "m4a",  "flac",    "mp2"};
    struct Fixed {
        QString name;
        QSize size;
    };
    std::vector<Fixed> fixed = {{"audioicon.png", {118, 78}}, {"videoicon.png", {118, 78}}};
    for (const char* f : formats)
        for (int n = 1; n <= 4; ++n)
            fixed.push_back({QString("format_%1_%2.png").arg(f).arg(n), {62, 57}});
    for (const char* c : {"video", "device", "audio"})
        for (int n = 1; n <= 4; ++n)
            fixed.push_back({QString("class_%1_%2.png").arg(c).arg(n), {165, 32}});

    const auto editions = Editions();
    ASSERT_FALSE(editions.empty());
    for (const Edition& e : editions) {
        SCOPED_TRACE(e.folder);
        const QString dir = Folder(e);
        for (const Fixed& f : fixed)
            EXPECT_EQ(QImage(dir + f.name).size(), f.size) << f.name.toStdString();
        // The picture at the offer's place fills the place its skin has under the left logo.
        const QSize promotion[] = {{152, 142}, {162, 186}, {152, 146}, {156, 98}};
        EXPECT_EQ(QImage(dir + "promotion.png").size(), promotion[e.skin]);

        // The frame is the window; the skin whose layout reaches past 772 x 547 has a larger one.
        const QImage frame(dir + "main.bmp");
        EXPECT_EQ(frame.size(), e.skin == 1 ? QSize(832, 612) : QSize(772, 547));
        const QImage top(dir + "toplogo.png"), left(dir + "leftlogo.png");
        EXPECT_TRUE(QRect(QPoint(), frame.size()).contains(QRect(QPoint(), top.size())));
        EXPECT_GT(left.width(), 150);
        EXPECT_GT(left.height(), 200);
        for (const char* mode : {"downloadyoutube.png", "youtubeconvert.png"})
            EXPECT_FALSE(QImage(dir + mode).isNull()) << mode;

        // Bitmap buttons: all states of one button share a size, and none may punch a hole in the window.
        struct Button {
            const char* name;
            int states;
            QSize min, max;
        };
        for (const Button& b : {Button{"min", 3, {20, 16}, {34, 28}}, Button{"close", 3, {20, 16}, {34, 28}},
                                Button{"bottom", 4, {80, 26}, {100, 34}}}) {
            const QImage first(dir + QString("%1_1.bmp").arg(b.name));
            EXPECT_GE(first.width(), b.min.width()) << b.name;
            EXPECT_LE(first.width(), b.max.width()) << b.name;
            EXPECT_GE(first.height(), b.min.height()) << b.name;
            EXPECT_LE(first.height(), b.max.height()) << b.name;
            for (int n = 1; n <= b.states; ++n) {
                const QImage img(dir + QString("%1_%2.bmp").arg(b.name).arg(n));
                EXPECT_EQ(img.size(), first.size()) << b.name << n;
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x)
                        if (IsKey(img.pixel(x, y)))
                            ADD_FAILURE() << b.name << n << " has the key colour at " << x << "," << y;
            }
        }
    }
}

// 24-bit BMP, key colour in the corners only: every magenta pixel is reached from the border through
// magenta, so no hole opens inside the window, and the page centre is drawn.
TEST(Artwork, FrameIsOpaqueInsideItsOutline) {
    for (const Edition& e : Editions()) {
        SCOPED_TRACE(e.folder);
        const QString path = Folder(e) + "main.bmp";
        std::ifstream in(path.toStdString(), std::ios::binary);
        unsigned char header[30] = {};
        in.read(reinterpret_cast<char*>(header), sizeof header);
        ASSERT_EQ(header[0], 'B');
        EXPECT_EQ(header[28] | header[29] << 8, 24);

        const QImage frame(path);
        const int w = frame.width(), h = frame.height();
        EXPECT_TRUE(IsKey(frame.pixel(0, 0)));
        EXPECT_TRUE(IsKey(frame.pixel(w - 1, h - 1)));
        EXPECT_FALSE(IsKey(frame.pixel(w / 2, h / 2)));

        std::vector<char> seen(static_cast<size_t>(w) * h, 0);
        std::queue<QPoint> todo;
        auto visit = [&](int x, int y) {
            if (x < 0 || y < 0 || x >= w || y >= h || seen[y * w + x] || !IsKey(frame.pixel(x, y))) return;
            seen[y * w + x] = 1;
            todo.push({x, y});
        };
        for (int x = 0; x < w; ++x)
            visit(x, 0), visit(x, h - 1);
        for (int y = 0; y < h; ++y)
            visit(0, y), visit(w - 1, y);
        int outside = 0;
        while (!todo.empty()) {
            const QPoint p = todo.front();
            todo.pop();
            ++outside;
            visit(p.x() + 1, p.y()), visit(p.x() - 1, p.y()), visit(p.x(), p.y() + 1),
                visit(p.x(), p.y() - 1);
        }
        int keyed = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                keyed += IsKey(frame.pixel(x, y));
        EXPECT_EQ(keyed, outside) << "magenta inside the window";
        // Only the outline is cut: a small share of the picture, not a band or a side.
        EXPECT_LT(outside, w * h / 100);
    }
}

// High-density screens: every picture the window loads has an @2x twin of exactly twice its size,
// and the 2x frame is cut exactly where the 1x frame is (the mask is set in window pixels, so a key
// pixel inside it would show as a pink speck, and a drawn one outside it would be lost).
TEST(Artwork, EveryPictureHasATwiceAsLargeTwinWithTheSameOutline) {
    for (const Edition& e : Editions()) {
        SCOPED_TRACE(e.folder);
        const QDir dir(Folder(e));
        int pairs = 0;
        for (const QString& name : dir.entryList({"*.png", "*.bmp"}, QDir::Files)) {
            if (name.contains("@2x")) {
                const QString normal = QString(name).replace("@2x", "");
                EXPECT_TRUE(dir.exists(normal)) << name.toStdString() << " without its 1x picture";
                continue;
            }
            const QString twin = name.section('.', 0, 0) + "@2x." + name.section('.', 1);
            const QImage one(dir.filePath(name)), two(dir.filePath(twin));
            ASSERT_FALSE(two.isNull()) << twin.toStdString();
            EXPECT_EQ(two.size(), one.size() * 2) << twin.toStdString();
            ++pairs;
        }
        EXPECT_GT(pairs, 120);

        const QImage frame(dir.filePath("main.bmp")), doubled(dir.filePath("main@2x.bmp"));
        ASSERT_EQ(doubled.size(), frame.size() * 2);
        int wrong = 0;
        for (int y = 0; y < doubled.height(); ++y)
            for (int x = 0; x < doubled.width(); ++x)
                wrong += IsKey(doubled.pixel(x, y)) != IsKey(frame.pixel(x / 2, y / 2));
        EXPECT_EQ(wrong, 0);
    }
}

// The window icon beside the programs, made from the same source as the theme's icons.
TEST(Artwork, WindowIconHoldsTheSizesAWindowManagerAsksFor) {
    QImageReader reader(QString(MW_TEST_RUN_DIR) + "/icon.ico");
    std::set<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << i;
        EXPECT_EQ(image.width(), image.height());
        sizes.insert(image.width());
        // The disc's centre is drawn, the corner is see-through.
        EXPECT_GT(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 200) << image.width();
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << image.width();
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

} // namespace
