// Every message box and file dialog the program shows goes through this
// interface. The Qt implementation uses QMessageBox and QFileDialog; tests use
// ScriptedUiServices, which records what was shown and answers from a script.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvalink {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, Yes, OkCancel, YesNo, YesCancel, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct MessageRequest {
    std::string text;     // line breaks as '\n'
    std::string caption;  // empty: the application title
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    std::string initialFolder;
    std::string proposedName;
    // Filter in the system's "Description (*.ext)|*.ext|All Files (*.*)|*.*" form.
    std::string filter;
    int filterIndex = 1;
    std::string defaultExtension;  // without the dot
    bool mustExist = false;        // open: the file must exist
    bool multiSelect = false;      // open: several files may be picked, the first is used
    bool confirmOverwrite = false; // save: ask before replacing a file
};

class UiServices {
public:
    virtual ~UiServices() = default;
    // Shows a modal message box and returns the button the user pressed.
    virtual MsgAnswer ShowMessage(const MessageRequest& request) = 0;
    // Shows a modal file dialog; nullopt when the user cancelled.
    virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request) = 0;
    // The same, with the filter the user left chosen (1-based) in
    // `filterIndex`; a dialog that cannot tell gives the request's.
    virtual std::optional<std::string> ChooseFileAndFilter(const FileDialogRequest& request, int& filterIndex) {
        filterIndex = request.filterIndex;
        return ChooseFile(request);
    }

    // Shorthand for a box with one OK button.
    void Inform(const std::string& text, MsgIcon icon) {
        ShowMessage(MessageRequest{text, {}, icon, MsgButtons::Ok});
    }
};

}  // namespace orvalink
