// The layout editor's "Import codes…" and "Export codes…": a whole
// device's IR codes from and into the files the IR community shares.
#include "editors/Softlcdut.h"

#include <QStatusBar>

#include "editors/CodeImportDialog.h"
#include "editors/core/DeviceCodeImport.h"
#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "formats/IrSignalFiles.h"
#include "platform/UiServices.h"

namespace orvalink {

void TSoftLCDFm::m_ImportCodesItClick() {
    if (!EditingMode()) return;
    const std::vector<ImportKey> keys = ImportKeysOf(*layout_);
    if (keys.empty()) {
        services_.ui.Inform("This device has no key that takes an IR code.", MsgIcon::Information);
        return;
    }
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = kIrCodeFilesFilter;
    request.mustExist = true;
    const auto path = services_.ui.ChooseFile(request);
    if (!path) return;
    std::vector<IrSignal> irSignals;
    std::string error;
    if (!ReadIrSignalFile(*path, irSignals, error)) {
        services_.ui.Inform("The codes could not be read:\n" + error, MsgIcon::Error);
        return;
    }
    if (irSignals.empty()) {
        services_.ui.Inform("The file holds no IR signal:\n" + *path, MsgIcon::Information);
        return;
    }
    TCodeImportFm dialog(irSignals, ImportProposal(irSignals, keys), name_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const ImportOutcome outcome = ApplyImport(irSignals, dialog.Proposal(), *layout_);
    SyncFromLayout();
    Say(QStringLiteral("%1 codes imported, %2 refused.").arg(outcome.written.size()).arg(outcome.refused.size()));
    if (!outcome.refused.empty()) {
        std::string text = outcome.written.empty() ? "No code was imported." : "These codes were not imported:";
        for (const RefusedCode& r : outcome.refused)
            text += "\n" + r.signal + " \u2192 key " + std::to_string(r.keyNumber) + ": " + r.reason;
        services_.ui.Inform(text, MsgIcon::Warning);
    }
}

void TSoftLCDFm::m_ExportCodesItClick() {
    if (!EditingMode()) return;
    const ExportOutcome exported = ExportDeviceCodes(*layout_);
    if (exported.codes.empty()) {
        services_.ui.Inform("This device holds no IR code to export.", MsgIcon::Information);
        return;
    }
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.filter = kIrExportFilter;
    request.defaultExtension = "ir";
    request.proposedName = name_.trimmed().toStdString() + ".ir";
    request.confirmOverwrite = true;
    int filter = 1;
    const auto path = services_.ui.ChooseFileAndFilter(request, filter);
    if (!path) return;
    std::string text, error, why;
    if (!WriteDeviceCodes(ExportFormatOf(*path, filter), name_.trimmed().toStdString(), exported.codes, text, error)) {
        services_.ui.Inform("The codes could not be exported: " + error, MsgIcon::Error);
        return;
    }
    if (!ReplaceFileBytes(PathFromUtf8(*path),
                          std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), &why)) {
        services_.ui.Inform("Write file error ! \n\nPath: " + *path + (why.empty() ? "" : "\n" + why), MsgIcon::Error);
        return;
    }
    Say(QStringLiteral("%1 codes exported.").arg(exported.codes.size()));
}

}  // namespace orvalink
