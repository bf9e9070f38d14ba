#include "platform/qt/QtShellOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace orvalink {

bool QtShellOpener::Open(const std::string& address) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(address)));
}

}  // namespace orvalink
