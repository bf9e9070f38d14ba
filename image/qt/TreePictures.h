// The small pictures of the device trees and key trees: Home, Macro, a
// device and a key. The main window's tree and the layout editor's trees
// show the same ones.
#pragma once

#include <QPixmap>

namespace orvalink {

enum class TreePicture { Home, Macro, Device, Key };

QPixmap TreePixmap(TreePicture picture);

}  // namespace orvalink
