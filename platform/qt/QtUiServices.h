// Message boxes and file dialogs on Qt: QMessageBox with the system's icon
// and buttons, QFileDialog with its filter and default extension.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/UiServices.h"

class QScreen;
class QWidget;

namespace orvalink {

class QtUiServices final : public UiServices {
public:
    // Boxes and dialogs are shown over the active window, else over `parent`
    // (may be null), titled `title` unless the request names a caption.
    QtUiServices(QWidget* parent, QString title) : parent_(parent), title_(std::move(title)) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    MsgAnswer ShowMessage(const MessageRequest& request) override;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseFileAndFilter(const FileDialogRequest& request, int& filterIndex) override;

    // "V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*" -> Qt's name filters.
    static QStringList NameFilters(const std::string& filter);
    // The width a message box needs for its caption to show whole in a
    // title bar: the caption in bold with room for the bar's icon and
    // buttons, at most nine tenths of the screen.
    static int CaptionWidth(const QString& caption, const QScreen* screen);

private:
    QWidget* Owner() const;
    QWidget* parent_;
    QString title_;
};

}  // namespace orvalink
