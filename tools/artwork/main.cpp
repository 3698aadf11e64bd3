// vitrel-artwork: draws the panel's pictures and icon and writes them as 24-bit BMP files,
// together with the Qt resource file that compiles them into the program.
//
//   vitrel-artwork <output folder>
//
// The output depends only on this program and the two font files below (Debian's
// fonts-liberation2 and fonts-dejavu-core), so running it again gives the same bytes.

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTextStream>
#include <QTransform>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr const char* kSerifItalicFont =
    "/usr/share/fonts/truetype/liberation2/LiberationSerif-Italic.ttf";
constexpr const char* kSansBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// A disabled picture is its lit picture with black turned into this grey.
constexpr int kGhostGrey = 0xEC;

using Painting = std::function<void(QPainter&, const QSizeF&)>;

struct Picture {
  int litId;
  int disabledId; // 0: the picture has no disabled twin
  int width;
  int height;
  int disabledWidth; // the disabled twin may be narrower; its left part is kept
  Painting paint;
};

QImage WhiteImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

QImage Render(const Painting& paint, int width, int height) {
  QImage image = WhiteImage(width, height);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  paint(painter, QSizeF(width, height));
  return image;
}

// The same shape in grey: each pixel's share of black becomes the same share of the ghost.
QImage Ghost(const QImage& lit, int width) {
  QImage ghost = lit.copy(0, 0, width, lit.height());
  for (int y = 0; y < ghost.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(ghost.scanLine(y));
    for (int x = 0; x < ghost.width(); ++x) {
      const int coverage = 255 - qGray(line[x]);
      const int grey = 255 - (coverage * (255 - kGhostGrey) + 127) / 255;
      line[x] = qRgb(grey, grey, grey);
    }
  }
  return ghost;
}

// Text as an outline, scaled to fill the picture less a margin and centred. Outlines are taken
// at a large unhinted size so that the result does not depend on the rasteriser's hinting.
Painting Text(const QString& family, bool italic, bool bold, const QString& text, qreal margin) {
  return [=](QPainter& painter, const QSizeF& size) {
    QFont font(family);
    font.setPixelSize(400);
    font.setItalic(italic);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    const qreal scale = qMin((size.width() - 2 * margin) / bounds.width(),
                             (size.height() - 2 * margin) / bounds.height());
    QTransform transform;
    transform.translate(size.width() / 2, size.height() / 2);
    transform.scale(scale, scale);
    transform.translate(-bounds.center().x(), -bounds.center().y());
    painter.drawPath(transform.map(path));
  };
}

// One LCD segment: a bar with pointed ends from `from` to `to`, `thickness` wide.
QPolygonF Segment(QPointF from, QPointF to, qreal thickness) {
  const qreal half = thickness / 2;
  if (from.y() == to.y()) {
    return QPolygonF({from, {from.x() + half, from.y() - half}, {to.x() - half, to.y() - half},
                      to, {to.x() - half, to.y() + half}, {from.x() + half, from.y() + half}});
  }
  return QPolygonF({from, {from.x() + half, from.y() + half}, {to.x() + half, to.y() - half}, to,
                    {to.x() - half, to.y() - half}, {from.x() - half, from.y() + half}});
}

// A seven-segment figure eight inside `box`.
void DrawEight(QPainter& painter, const QRectF& box, qreal thickness, qreal gap) {
  const qreal left = box.left() + thickness / 2;
  const qreal right = box.right() - thickness / 2;
  const qreal top = box.top() + thickness / 2;
  const qreal bottom = box.bottom() - thickness / 2;
  const qreal middle = (top + bottom) / 2;
  const qreal g = gap + thickness / 2;
  for (const qreal y : {top, middle, bottom})
    painter.drawPolygon(Segment({left + g, y}, {right - g, y}, thickness));
  for (const qreal x : {left, right}) {
    painter.drawPolygon(Segment({x, top + g}, {x, middle - g}, thickness));
    painter.drawPolygon(Segment({x, middle + g}, {x, bottom - g}, thickness));
  }
}

Painting Bar() {
  return [](QPainter& painter, const QSizeF& size) {
    painter.drawPolygon(Segment({3, size.height() / 2}, {size.width() - 3, size.height() / 2}, 8));
  };
}

Painting Colon() {
  return [](QPainter& painter, const QSizeF& size) {
    const qreal radius = 5.5;
    const qreal x = size.width() / 2;
    painter.drawEllipse(QPointF(x, 10), radius, radius);
    painter.drawEllipse(QPointF(x, size.height() - 10), radius, radius);
  };
}

// Centred on the narrower disabled twin's middle, so that both show the whole circle.
Painting Dot() {
  return [](QPainter& painter, const QSizeF& size) {
    painter.drawEllipse(QPointF(8, size.height() / 2), 5.5, 5.5);
  };
}

Painting Eight() {
  return [](QPainter& painter, const QSizeF& size) {
    DrawEight(painter, QRectF(QPointF(6, 5), size - QSizeF(12, 10)), 11, 1.5);
  };
}

bool WriteBmp24(const QImage& image, const QString& path) {
  const int width = image.width();
  const int height = image.height();
  const int stride = (width * 3 + 3) & ~3;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(stride * height);
  std::vector<unsigned char> bytes(54 + pixelBytes, 0);
  auto put16 = [&](int at, std::uint32_t v) { bytes[at] = v & 0xFF; bytes[at + 1] = (v >> 8) & 0xFF; };
  auto put32 = [&](int at, std::uint32_t v) { put16(at, v & 0xFFFF); put16(at + 2, v >> 16); };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, 54 + pixelBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height)); // positive: rows stored bottom-up
  put16(26, 1);
  put16(28, 24);
  put32(34, pixelBytes);
  put32(38, 2835); // 72 dots per inch
  put32(42, 2835);
  for (int y = 0; y < height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(height - 1 - y));
    unsigned char* row = bytes.data() + 54 + y * stride;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<unsigned char>(qBlue(line[x]));
      row[3 * x + 1] = static_cast<unsigned char>(qGreen(line[x]));
      row[3 * x + 2] = static_cast<unsigned char>(qRed(line[x]));
    }
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return false;
  return file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) ==
         static_cast<qint64>(bytes.size());
}

// The program's icon: a framed seven-segment eight built of plain bars like the panel's own
// digits, on whole pixels so that it stays sharp at 16 x 16.
QImage Icon(int size) {
  QImage image = WhiteImage(size, size);
  QPainter painter(&image);
  const int frame = qMax(1, size / 16);
  painter.fillRect(0, 0, size, frame, Qt::black);
  painter.fillRect(0, size - frame, size, frame, Qt::black);
  painter.fillRect(0, 0, frame, size, Qt::black);
  painter.fillRect(size - frame, 0, frame, size, Qt::black);
  const int thickness = qMax(2, size / 10);
  const int width = size * 9 / 20;
  const int height = size * 3 / 4;
  const int left = (size - width) / 2;
  const int top = (size - height) / 2;
  const int right = left + width - thickness;
  const int middle = top + (height - thickness) / 2;
  const int bottom = top + height - thickness;
  const int across = width - 2 * thickness;
  for (const int y : {top, middle, bottom})
    painter.fillRect(left + thickness, y, across, thickness, Qt::black);
  for (const int x : {left, right}) {
    painter.fillRect(x, top + thickness, thickness, middle - top - thickness, Qt::black);
    painter.fillRect(x, middle + thickness, thickness, bottom - middle - thickness, Qt::black);
  }
  return image;
}

bool LoadFont(const char* path, QString& family) {
  const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(path));
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  if (id < 0 || families.isEmpty()) {
    std::fprintf(stderr, "vitrel-artwork: cannot load the font %s\n", path);
    return false;
  }
  family = families.first();
  return true;
}

std::vector<Picture> Pictures(const QString& serif, const QString& sans) {
  return {
      {131, 143, 78, 31, 78, Text(serif, true, false, "Auto", 2)},
      {135, 138, 108, 33, 108, Text(serif, true, false, "Round", 2)},
      {133, 140, 65, 20, 65, Bar()},
      {132, 142, 44, 39, 44, Text(serif, true, false, "g", 2)},
      {152, 153, 44, 44, 44, Text(sans, false, true, "kg", 3)},
      {134, 139, 56, 32, 56, Text(serif, true, false, "OZ", 2)},
      {136, 137, 68, 34, 68, Text(serif, true, false, "Sec", 2)},
      {144, 145, 17, 60, 17, Colon()},
      {146, 147, 17, 15, 16, Dot()},
      {151, 0, 86, 150, 0, Eight()},
  };
}

// One file of the resource file: found in the program as /<prefix>/<alias>.
struct ResourceEntry {
  QString alias;
  QString file;
};

bool WritePictures(const QString& folder, const std::vector<Picture>& pictures,
                   std::vector<ResourceEntry>& entries) {
  bool ok = true;
  auto write = [&](int id, const QImage& image) {
    const QString file = QStringLiteral("bitmap%1.bmp").arg(id);
    ok &= WriteBmp24(image, folder + "/" + file);
    entries.push_back({QStringLiteral("%1.bmp").arg(id), file});
  };
  for (const Picture& picture : pictures) {
    const QImage lit = Render(picture.paint, picture.width, picture.height);
    write(picture.litId, lit);
    if (picture.disabledId != 0)
      write(picture.disabledId, Ghost(lit, picture.disabledWidth));
  }
  std::sort(entries.begin(), entries.end(),
            [](const ResourceEntry& a, const ResourceEntry& b) { return a.alias < b.alias; });
  return ok;
}

bool WriteIcons(const QString& folder, std::vector<ResourceEntry>& entries) {
  bool ok = true;
  for (const int size : {16, 32, 48}) {
    const QString file = QStringLiteral("icon128_%1.bmp").arg(size);
    ok &= WriteBmp24(Icon(size), folder + "/" + file);
    entries.push_back({QStringLiteral("128_%1.bmp").arg(size), file});
  }
  return ok;
}

bool WriteResourceFile(const QString& path, const std::vector<ResourceEntry>& bitmaps,
                       const std::vector<ResourceEntry>& icons) {
  QFile qrc(path);
  if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    return false;
  QTextStream out(&qrc);
  out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n";
  auto section = [&](const char* prefix, const std::vector<ResourceEntry>& entries) {
    out << "  <qresource prefix=\"/" << prefix << "\">\n";
    for (const ResourceEntry& entry : entries)
      out << "    <file alias=\"" << entry.alias << "\">" << entry.file << "</file>\n";
    out << "  </qresource>\n";
  };
  section("bitmaps", bitmaps);
  section("icons", icons);
  out << "</RCC>\n";
  out.flush();
  return out.status() == QTextStream::Ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vitrel-artwork <output folder>\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);

  QString serif, sans;
  if (!LoadFont(kSerifItalicFont, serif) || !LoadFont(kSansBoldFont, sans))
    return 1;

  std::vector<ResourceEntry> bitmaps, icons;
  const bool written = WritePictures(folder, Pictures(serif, sans), bitmaps) &&
                       WriteIcons(folder, icons) &&
                       WriteResourceFile(folder + "/panel.qrc", bitmaps, icons);
  if (!written) {
    std::fprintf(stderr, "vitrel-artwork: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
