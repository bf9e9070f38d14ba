// The pictures of the main window's quick buttons, drawn so that each says
// what its command does: the remote on one side, the computer or the model
// file on the other, and the arrow the way the data goes.
#pragma once

#include <QIcon>

namespace orvalink {

enum class QuickPicture { New, Open, Save, Import, Export, Download, Upload };

QIcon QuickIcon(QuickPicture picture);

}  // namespace orvalink
