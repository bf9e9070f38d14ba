#include "platform/qt/QtUiServices.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>

#include <algorithm>

namespace orvalink {

namespace {

QMessageBox::Icon IconOf(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::Warning: return QMessageBox::Warning;
        case MsgIcon::Error: return QMessageBox::Critical;
        case MsgIcon::Question: return QMessageBox::Question;
        case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok: return QMessageBox::Ok;
        case MsgButtons::Yes: return QMessageBox::Yes;
        case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesCancel: return QMessageBox::Yes | QMessageBox::Cancel;
        case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

MsgAnswer AnswerOf(int button, MsgButtons buttons) {
    switch (button) {
        case QMessageBox::Ok: return MsgAnswer::Ok;
        case QMessageBox::Yes: return MsgAnswer::Yes;
        case QMessageBox::No: return MsgAnswer::No;
        case QMessageBox::Retry: return MsgAnswer::Retry;
        case QMessageBox::Abort: return MsgAnswer::Abort;
        case QMessageBox::Ignore: return MsgAnswer::Ignore;
        case QMessageBox::Cancel: return MsgAnswer::Cancel;
        default: break;
    }
    // Closed with Escape or the window's close box.
    if (buttons == MsgButtons::Yes) return MsgAnswer::Yes;
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
}

}  // namespace

int QtUiServices::CaptionWidth(const QString& caption, const QScreen* screen) {
    // The window manager writes the caption in its title bar in a bold face,
    // between the box's icon and up to three buttons (minimise, maximise,
    // close), each about as wide as the bar is high.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int bar = std::max(metrics.height() + 6, QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight));
    int width = metrics.horizontalAdvance(caption) + 4 * bar;
    // A caption wider than the screen is cut all the same.
    if (screen) width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    return width;
}

QWidget* QtUiServices::Owner() const {
    // A box belongs to the window the user works in (the key editor, the
    // communication window), so that the window manager keeps that window
    // above the main window while the box is up, and the box over it.
    QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() ? active : parent_;
}

MsgAnswer QtUiServices::ShowMessage(const MessageRequest& request) {
    const QString caption = request.caption.empty() ? title_ : QString::fromStdString(request.caption);
    QMessageBox box(IconOf(request.icon), caption, QString::fromStdString(request.text), ButtonsOf(request.buttons),
                    Owner());
    // The box sizes itself to its text: a short text ("Ok !") would leave it
    // narrower than its caption, which the title bar then cuts ("My O…ram!").
    // A row of the caption's width below the buttons keeps it wide enough.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const QMargins margins = grid->contentsMargins();
        const int room = CaptionWidth(caption, box.screen()) - margins.left() - margins.right();
        grid->addItem(new QSpacerItem(std::max(0, room), 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                      0, 1, grid->columnCount());
    }
    return AnswerOf(box.exec(), request.buttons);
}

QStringList QtUiServices::NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (patterns == "*.*") patterns = "*";
        QString description = parts[i];
        int open = description.indexOf('(');
        if (open > 0) description = description.left(open).trimmed();
        out << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return out;
}

std::optional<std::string> QtUiServices::ChooseFile(const FileDialogRequest& request) {
    int filterIndex = request.filterIndex;
    return ChooseFileAndFilter(request, filterIndex);
}

std::optional<std::string> QtUiServices::ChooseFileAndFilter(const FileDialogRequest& request, int& filterIndex) {
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    QFileDialog dialog(Owner(), title_);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile
                            : (request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile));
    if (!request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = NameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = request.filterIndex - 1;
        if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    }
    if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.initialFolder.empty()) dialog.setDirectory(QString::fromStdString(request.initialFolder));
    if (!request.proposedName.empty()) dialog.selectFile(QString::fromStdString(request.proposedName));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (filterIndex < 1) filterIndex = request.filterIndex;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(files.first()).toStdString();
}

}  // namespace orvalink
