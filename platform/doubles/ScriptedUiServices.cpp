#include "platform/doubles/ScriptedUiServices.h"

namespace orvalink {

namespace {
MsgAnswer FirstButton(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel: return MsgAnswer::Ok;
        case MsgButtons::Yes:
        case MsgButtons::YesNo:
        case MsgButtons::YesCancel:
        case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
        case MsgButtons::RetryCancel: return MsgAnswer::Retry;
        case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    }
    return MsgAnswer::Ok;
}
}  // namespace

MsgAnswer ScriptedUiServices::ShowMessage(const MessageRequest& request) {
    messages_.push_back(request);
    if (messageAnswers_.empty()) return FirstButton(request.buttons);
    MsgAnswer a = messageAnswers_.front();
    messageAnswers_.pop_front();
    return a;
}

std::optional<std::string> ScriptedUiServices::ChooseFile(const FileDialogRequest& request) {
    dialogs_.push_back(request);
    if (fileAnswers_.empty()) return std::nullopt;
    auto a = fileAnswers_.front();
    fileAnswers_.pop_front();
    return a;
}

std::vector<std::string> ScriptedUiServices::MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& m : messages_) out.push_back(m.text);
    return out;
}

void ScriptedUiServices::Clear() {
    messageAnswers_.clear();
    fileAnswers_.clear();
    messages_.clear();
    dialogs_.clear();
}

}  // namespace orvalink
