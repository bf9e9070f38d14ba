#include "app/Shells.h"

namespace orvalink {

TTiModelFm::TTiModelFm(QWidget* parent) : QWidget(parent) {}

}  // namespace orvalink
