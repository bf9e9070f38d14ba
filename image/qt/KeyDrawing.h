// Key pictures, labels and the LCD title as the editors show them: at twice
// the remote's size, painted with QPainter on QImage.
//
// Key pictures: the editors keep one QImage per key and pass it to DrawKey;
// the key record itself holds no picture.
#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>
#include <span>

#include "image/KeyRecords.h"
#include "image/LcdBitmaps.h"
#include "image/Tiflashut.h"

namespace orvalink {

QColor ToQColor(Rgb rgb);
Rgb ToRgb(const QColor& colour);
// A core bitmap as an RGB32 image, and back (alpha is dropped).
QImage ToQImage(const Bitmap& bitmap);
Bitmap FromQImage(const QImage& image);

// The label of a key of `widthCells` (1..6) x `heightCells` (1..8) at remote
// size, its area chosen by the shape flag (bit 2) of `flags`; the key type
// does not change the area and is taken for the callers' convenience.
// Returns whether the label could be laid out; `out` is the label area in
// either case (only the background when the layout failed), and a null
// image for cells out of range.
bool DrawLabel(const TTiFlashFm& flash, std::span<const uint8_t> label, int widthCells, int heightCells,
               uint8_t flags, uint8_t keyType, QColor ink, QColor background, QImage& out);

// `image` stretched `factor` times (1..10), each pixel a square. Fails (out
// untouched) for other factors.
bool Zoom(const QImage& image, int factor, QImage& out);

// Paints a key in a drawing state (100..500; any other state is all black)
// into `picture`. A picture whose size is not the key's editor rectangle
// (KeyRect), or that QPainter cannot paint on, is replaced by a white one of
// that size; otherwise the key is painted over what it holds (the editors
// clear it first). The macro record behind a key of the Macro device is read
// from the image for its step and timer marks. Returns whether the label
// could be laid out; when not, the label area shows the background alone.
bool DrawKey(const TTiFlashFm& flash, const KeyInfo& key, int state, QImage& picture);

// Paints a device's title label (a 55 x 20 remote-pixel area) at twice the
// size at (49, 3) of `canvas`, in the colours of `state`. Returns whether the
// label could be laid out; a null canvas gets nothing.
bool DrawTitle(const TTiFlashFm& flash, std::span<const uint8_t> label, int state, QImage& canvas);

}  // namespace orvalink
