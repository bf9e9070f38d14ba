// What a configuration transfer needs of the progress dialog TTranStaFm:
// show it with its status text and gauge maximum, move the gauge, switch it
// to "done" (Cancel disabled, OK enabled), tell whether the user has closed
// it, and free it. Cancel and closing the dialog set the link's userAbort;
// the dialog does that itself, with the LinkEngine it was given.
#pragma once

#include <string>

namespace orvalink {

class TransferProgress {
public:
    virtual ~TransferProgress() = default;
    // Creates and shows the dialog; the transfer-dialog flag becomes 0 (open).
    virtual void Open(const std::string& status, int maximum) = 0;
    virtual void SetPosition(int position) = 0;
    // Every block went through: Cancel disabled, OK enabled.
    virtual void Succeeded() = 0;
    // The transfer-dialog flag: true once the user pressed OK or Cancel or
    // closed the dialog (and while no dialog is open).
    virtual bool Closed() const = 0;
    // Gauge 0 and the dialog freed.
    virtual void Release() = 0;
};

}  // namespace orvalink
