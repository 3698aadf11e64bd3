#include "panel/PanelResources.h"

#include <QFile>
#include <QString>

// The resources live in a static library: nothing else references them, so they are
// registered here, once, before the first look-up.
static void RegisterPanelResources() { Q_INIT_RESOURCE(panel); }

namespace {

void EnsurePanelResources() {
  static const bool registered = (RegisterPanelResources(), true);
  (void)registered;
}

constexpr int kIconSizes[] = {16, 32, 48};

} // namespace

QImage LoadPanelBitmap(std::uint16_t nResourceId) {
  EnsurePanelResources();
  const QString path = QStringLiteral(":/bitmaps/%1.bmp").arg(nResourceId);
  if (!QFile::exists(path))
    return QImage();
  QImage bitmap(path, "BMP");
  if (bitmap.isNull())
    return bitmap;
  return bitmap.convertToFormat(QImage::Format_RGB32);
}

QIcon LoadPanelIcon(std::uint16_t nResourceId) {
  EnsurePanelResources();
  QIcon icon;
  for (const int size : kIconSizes) {
    const QString path = QStringLiteral(":/icons/%1_%2.bmp").arg(nResourceId).arg(size);
    if (QFile::exists(path))
      icon.addFile(path, QSize(size, size));
  }
  return icon;
}
