#include "app/Shells.h"

namespace orvalink {

TBtnFm::TBtnFm(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Key Property")); }

TTiModelFm::TTiModelFm(QWidget* parent) : QWidget(parent) {}

}  // namespace orvalink
