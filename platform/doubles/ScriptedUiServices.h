// Test double of UiServices: records every message box and file dialog and
// answers them from a script the test fills beforehand. A box or dialog with
// no scripted answer gets the default (OK / the first button, or Cancel for a
// dialog) and is still recorded, so a test can see what it did not expect.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/UiServices.h"

namespace orvalink {

class ScriptedUiServices final : public UiServices {
public:
    MsgAnswer ShowMessage(const MessageRequest& request) override;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;

    // Script: answers for the next message boxes, and chosen paths (nullopt =
    // Cancel) for the next dialogs, in order.
    void AnswerNextMessage(MsgAnswer answer) { messageAnswers_.push_back(answer); }
    void ChooseNext(std::optional<std::string> path) { fileAnswers_.push_back(std::move(path)); }
    void CancelNextDialog() { fileAnswers_.push_back(std::nullopt); }

    const std::vector<MessageRequest>& Messages() const { return messages_; }
    const std::vector<FileDialogRequest>& Dialogs() const { return dialogs_; }
    // Texts of the boxes shown so far.
    std::vector<std::string> MessageTexts() const;
    void Clear();

private:
    std::deque<MsgAnswer> messageAnswers_;
    std::deque<std::optional<std::string>> fileAnswers_;
    std::vector<MessageRequest> messages_;
    std::vector<FileDialogRequest> dialogs_;
};

}  // namespace orvalink
