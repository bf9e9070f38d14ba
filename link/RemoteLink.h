// The remote link as the main commands and the start dialog use it: find and
// open the cable's port, move the configuration to or from the remote, and
// let the user break a transfer off. The communication window implements it.
#pragma once

#include "link/Transfers.h"

namespace orvalink {

class RemoteLink {
public:
    virtual ~RemoteLink() = default;
    virtual bool EnsureLinkPort() = 0;
    virtual void SetUserAbort(bool abort) = 0;
    virtual bool UserAbort() const = 0;
    virtual TransferOutcome DownloadFromRemote() = 0;
    virtual TransferOutcome UploadToRemote(int kind) = 0;
    virtual void CloseLinkPort() = 0;
};

}  // namespace orvalink
