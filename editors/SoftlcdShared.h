// What the pieces of the layout editor window share (the window's
// definitions are spread over Softlcdut.cpp and the Softlcd*.cpp files named
// after the part they build): item roles of its trees, the key tree's
// pictures and the names it gives a key.
#pragma once

#include <QPixmap>
#include <QString>

#include "image/KeyRecords.h"

namespace orvalink::softlcd {

inline constexpr int kKeyRole = Qt::UserRole + 1;   // key tree: the key number of a node
inline constexpr int kSlotRole = Qt::UserRole + 2;  // device tree: the slot of a node
inline constexpr int kNoKey = -1;

// Pictures of the key tree (indexes as the tree's image list numbers them).
inline constexpr int kTreeDevice = 3;
inline constexpr int kTreeMacro = 4;
inline constexpr int kTreeKey = 5;

QPixmap TreePictureAt(int index);

// What a key's label shows, as text ("" when it cannot be read).
QString LabelText(const KeyInfo& key);
// "IR code", "Device", "Macro", "Cycle", "Label" or "type N".
QString TypeName(int type);
// "Key N" or "Key N <label>".
QString KeyName(const KeyInfo& key);

}  // namespace orvalink::softlcd
