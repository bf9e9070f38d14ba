// The pre-program code picker as the main window and the layout editor use
// it: a modal choice that leaves the chosen code number.
#pragma once

#include <cstdint>

namespace orvalink {

class CodeNumberPicker {
public:
    virtual ~CodeNumberPicker() = default;
    // False when the user chose nothing; a number of 4000 or more also
    // means nothing was chosen.
    virtual bool PickCodeNumber(uint16_t& codeNumber) = 0;
};

}  // namespace orvalink
