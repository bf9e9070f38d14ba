#include "app/Doyouknowut.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <system_error>

#include "app/MainFm.h"
#include "formats/Flashut.h"
#include "image/Tiflashut.h"
#include "platform/UiServices.h"

namespace orvalink {

TDoYouKnowFm::TDoYouKnowFm(const AppServices& services, TMainFm& main, uint16_t familyCode, QWidget* parent)
    : QDialog(parent), services_(services), main_(main), familyCode_(familyCode) {
    setWindowTitle(QStringLiteral("Welcome to Orvalink !"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Modal over the whole program; the main window is disabled under it,
    // but not this dialog (see TMainFm::SetFormEnabled).
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("What would you like to do ?"), this);
    auto* g = new QVBoxLayout(group);
    m_RBtn1 = new QRadioButton(QStringLiteral("New default VMCF files"), group);
    m_RBtn2 = new QRadioButton(QStringLiteral("Open an existing VMCF files"), group);
    m_RBtn3 = new QRadioButton(QStringLiteral("Download from Remote Control"), group);
    m_RBtn1->setChecked(true);
    g->addWidget(m_RBtn1);
    g->addWidget(m_RBtn2);
    auto* pathRow = new QHBoxLayout;
    m_NameEdt = new QLineEdit(group);
    m_NameEdt->setAccessibleName(QStringLiteral("VMCF file path"));
    m_BrowseBtn = new QPushButton(QStringLiteral("Browse..."), group);
    pathRow->addSpacing(20);
    pathRow->addWidget(m_NameEdt);
    pathRow->addWidget(m_BrowseBtn);
    g->addLayout(pathRow);
    g->addWidget(m_RBtn3);
    m_RBtn3->setEnabled(services_.link != nullptr);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_YesBtn = new QPushButton(QStringLiteral("Yes"), this);
    m_CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    m_YesBtn->setDefault(true);
    buttons->addWidget(m_YesBtn);
    buttons->addWidget(m_CancelBtn);
    layout->addLayout(buttons);

    for (QRadioButton* b : {m_RBtn1, m_RBtn2, m_RBtn3})
        connect(b, &QRadioButton::toggled, this, [this] { m_RBtnClick(); });
    connect(m_BrowseBtn, &QPushButton::clicked, this, [this] { m_BrowseBtnClick(); });
    connect(m_YesBtn, &QPushButton::clicked, this, [this] { m_YesBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
    m_RBtnClick();

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(800);
    connect(timer_, &QTimer::timeout, this, [this] { show(); raise(); activateWindow(); });
}

void TDoYouKnowFm::Start() {
    main_.SetFormEnabled(false);
    timer_->start();
}

void TDoYouKnowFm::m_RBtnClick() {
    const bool open = m_RBtn2->isChecked();
    m_NameEdt->setEnabled(open);
    m_BrowseBtn->setEnabled(open);
}

void TDoYouKnowFm::m_BrowseBtnClick() {
    const std::string folder = services_.files.DocumentFolder();
    FileDialogRequest r;
    r.mode = FileDialogRequest::Mode::Open;
    r.initialFolder = folder;
    r.filter = "V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*";
    r.filterIndex = 1;
    r.defaultExtension = "vmcf";
    r.mustExist = true;
    if (auto chosen = services_.ui.ChooseFile(r); chosen && !chosen->empty())
        m_NameEdt->setText(QString::fromStdString(*chosen));
}

void TDoYouKnowFm::Warn(const std::string& text) { services_.ui.Inform(text, MsgIcon::Warning); }

bool TDoYouKnowFm::LoadStartDocument(const std::string& path) {
    const DocumentOutcome outcome = LoadDocumentIntoImage(path, services_.flash);
    // Only a file that does not load is reported here; the caller words the rest.
    if (outcome.kind == DocumentResult::Unreadable && !outcome.message.empty())
        services_.ui.Inform(outcome.message, outcome.icon);
    return outcome.Ok();
}

std::string TDoYouKnowFm::PrepareDefault() {
    if (familyCode_ != 2000) return {};
    services_.flash.SelectModel(kSelector5100);
    main_.SetCurrentPath(services_.files.DefaultDocumentPath());
    return services_.files.BlankDocumentPath();
}

bool TDoYouKnowFm::StartNewDefault() {
    const std::string templatePath = PrepareDefault();
    std::error_code ec;
    if (templatePath.empty() || !std::filesystem::exists(PathFromUtf8(templatePath), ec)) {
        Warn("\n Default VMCF files not Found ! \n Path :" + templatePath);
        return false;
    }
    if (!LoadStartDocument(templatePath)) {
        Warn("\n default VMCF files Error !");
        return false;
    }
    main_.ImageReplaced();
    return true;
}

bool TDoYouKnowFm::StartOpenExisting() {
    const std::string path = m_NameEdt->text().trimmed().toStdString();
    if (path.empty()) {
        Warn("\n Please Enter Current VMCF file path !");
        return false;
    }
    if (!LoadStartDocument(path)) {
        Warn("\n Open VMCF files Error !");
        return false;
    }
    // A path typed without a folder is read from the current folder but
    // does not become the document's path.
    const auto sep = std::find_if(path.rbegin(), path.rend(), IsPathSeparator);
    if (sep != path.rend() && sep != path.rbegin()) main_.SetCurrentPath(path);
    main_.ImageReplaced();
    return true;
}

bool TDoYouKnowFm::StartDownload() {
    if (!services_.link || !services_.link->EnsureLinkPort()) return false;
    services_.link->SetUserAbort(false);
    setEnabled(false);
    const std::string templatePath = PrepareDefault();
    std::error_code ec;
    if (!templatePath.empty() && std::filesystem::exists(PathFromUtf8(templatePath), ec))
        LoadStartDocument(templatePath);
    const TransferOutcome outcome = services_.link->DownloadFromRemote();
    const bool ok = outcome.Ok();
    if (ok) {
        services_.link->CloseLinkPort();
        main_.SetModifiedMark(kMarkChanged);
        main_.SetCurrentPath(services_.files.DefaultDocumentPath());
        main_.ImageReplaced();
    }
    ShowReports(services_.ui, DownloadReports(outcome, true));
    setEnabled(true);
    return ok;
}

void TDoYouKnowFm::m_YesBtnClick() {
    main_.SetCurrentPath({});
    bool ok = m_RBtn1->isChecked() ? StartNewDefault() : m_RBtn2->isChecked() ? StartOpenExisting() : StartDownload();
    if (!ok) {
        show();
        return;
    }
    main_.SetFormEnabled(true);
    main_.SetDialogFinished(true);
    finished_ = true;
    hide();
    emit Started();
}

void TDoYouKnowFm::m_CancelBtnClick() {
    finished_ = true;
    main_.SetFormEnabled(true);
    hide();
    main_.close();
}

void TDoYouKnowFm::reject() {
    // Escape is Cancel: the program ends, as it does from the Cancel button.
    if (!finished_) m_CancelBtnClick();
}

void TDoYouKnowFm::closeEvent(QCloseEvent* event) {
    // Closing the dialog by its close box is Cancel.
    if (!finished_) {
        event->ignore();
        m_CancelBtnClick();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace orvalink
