// The up to six learned codes of a cycle key while the key property editor
// edits them, with the rows of the cycle grid, and their packing into the
// key on OK.
#pragma once

#include <string>
#include <vector>

#include "editors/core/DeviceLayout.h"
#include "image/LearnedCodes.h"

namespace orvalink {

inline constexpr const char* kOutOfCycleStepText = "Out of cycle key step !";

struct CycleStep {
    LearnedCode learned{};  // the 512-byte form that is sent
    IrCodeInfo stored;      // the same code as the key stores it
    std::string stepText;
    std::string codeText;
};

class CycleDraft {
public:
    const std::vector<CycleStep>& Steps() const { return steps_; }
    int Count() const { return int(steps_.size()); }
    int Selected() const { return selected_; }  // 1-based, 0 none
    int NextCode() const { return nextCode_; }
    bool Select(int step);
    void Clear();

    // A learned code as the next step: row "n" / "Code k" with the running
    // code number. False (nothing changes) when six steps are there.
    bool AddLearned(const LearnedCode& learned, const IrCodeInfo& stored);
    // "Remove >>": the selected step goes, the later ones move up and the
    // step column is renumbered; the selection stays or goes to the new last.
    bool Remove();
    // Up and down swap the selected step with its neighbour.
    bool MoveUp();
    bool MoveDown();

    // The steps of a cycle key as loaded: accepted when the first code block
    // holds a block count of 2..4, the marker 13 and a step count of 1..10,
    // and the key's steps were read. Rows show their 0-based index in both
    // columns. False (the draft is empty) otherwise.
    bool LoadFromKey(const LayoutKey& key);
    // OK: the list header in the first code block (count, 13, step count in
    // the eighth byte), the 20 bytes after it zeroed, and the steps as the
    // key's cycle list. False (the key untouched) without steps.
    bool PackInto(LayoutKey& key) const;

private:
    void Renumber();
    std::vector<CycleStep> steps_;
    int selected_ = 0;
    int nextCode_ = 1;
};

// Code blocks of a cycle list of `steps` steps: steps / 4 + 1, one more when
// steps is not a multiple of 4.
int CycleHeaderBlocks(int steps);

}  // namespace orvalink
