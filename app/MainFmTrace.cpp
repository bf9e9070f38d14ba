// Tools > Record link trace...: the link conversation into a file, for
// service staff, from the moment the item is checked until it is unchecked.
#include <QAction>

#include "app/MainFm.h"
#include "platform/UiServices.h"

namespace orvalink {

void TMainFm::m_tRecordTraceItClick(bool checked) {
    if (!services_.link) {
        m_tRecordTraceIt->setChecked(false);
        return;
    }
    std::string why;
    if (!checked) {
        if (!services_.link->StopLinkTrace(why))
            services_.ui.Inform("The link trace could not be written.\n" + why, MsgIcon::Error);
        return;
    }
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.initialFolder = services_.programFolder.string();
    request.proposedName = "link.trace";
    request.filter = "Link traces (*.trace)|*.trace|All Files (*.*)|*.*";
    request.defaultExtension = "trace";
    request.confirmOverwrite = true;
    const auto chosen = services_.ui.ChooseFile(request);
    if (!chosen || chosen->empty()) {
        m_tRecordTraceIt->setChecked(false);
        return;
    }
    if (!services_.link->StartLinkTrace(*chosen, why)) {
        services_.ui.Inform("The link trace cannot be recorded.\n\nPath: " + *chosen + "\n" + why, MsgIcon::Error);
        m_tRecordTraceIt->setChecked(false);
    }
}

}  // namespace orvalink
