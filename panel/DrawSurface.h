#pragma once

#include "panel/Rect.h"

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QSize>
#include <QtGui/qrgb.h>

// The surface the panel objects draw on: a painter on an image of ours, offering only what
// the objects need (solid fills, a bitmap's size, a bitmap copied at its own size).
//
// Drawing is in the panel window's client coordinates; the surface maps `windowOrigin` to the
// image's top-left pixel, so an image that covers only part of the window (a paint's clip box)
// still receives every pixel at the right place. The image must outlive the surface, and only
// the thread that created the surface may draw on it.
class CDrawSurface {
public:
  explicit CDrawSurface(QImage& image, QPoint windowOrigin = QPoint(0, 0));
  ~CDrawSurface();

  CDrawSurface(const CDrawSurface&) = delete;
  CDrawSurface& operator=(const CDrawSurface&) = delete;

  // Fills the rectangle at (x, y) of width cx and height cy with one colour.
  void FillSolidRect(int x, int y, int cx, int cy, QRgb color);
  // Fills the rectangle given by its edges (right and bottom outside) with one colour.
  void FillSolidRect(const CRect& rect, QRgb color);

  // Width and height of a bitmap; a null bitmap measures 0 x 0.
  static QSize GetBitmapSize(const QImage& bitmap);
  // Copies the whole bitmap, never stretched, with its top-left corner at (x, y): its pixels
  // replace the surface's, as a plain source copy does.
  void CopyBitmap(int x, int y, const QImage& bitmap);

protected:
  QPainter m_painter;
};
