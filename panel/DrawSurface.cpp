#include "panel/DrawSurface.h"

#include <QColor>
#include <QRect>

CDrawSurface::CDrawSurface(QImage& image, QPoint windowOrigin) : m_painter(&image) {
  m_painter.translate(-windowOrigin.x(), -windowOrigin.y());
}

CDrawSurface::~CDrawSurface() { m_painter.end(); }

void CDrawSurface::FillSolidRect(int x, int y, int cx, int cy, QRgb color) {
  if (cx <= 0 || cy <= 0)
    return;
  m_painter.fillRect(QRect(x, y, cx, cy), QColor::fromRgb(color));
}

void CDrawSurface::FillSolidRect(const CRect& rect, QRgb color) {
  FillSolidRect(rect.left, rect.top, rect.Width(), rect.Height(), color);
}

QSize CDrawSurface::GetBitmapSize(const QImage& bitmap) {
  if (bitmap.isNull())
    return QSize(0, 0);
  return bitmap.size();
}

void CDrawSurface::CopyBitmap(int x, int y, const QImage& bitmap) {
  if (bitmap.isNull())
    return;
  // A source copy: the bitmap's pixels replace what is there. An opaque bitmap (all of ours)
  // does that as it is drawn; only one with alpha needs the painter told so.
  if (!bitmap.hasAlphaChannel()) {
    m_painter.drawImage(QPoint(x, y), bitmap);
    return;
  }
  m_painter.setCompositionMode(QPainter::CompositionMode_Source);
  m_painter.drawImage(QPoint(x, y), bitmap);
  m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}
