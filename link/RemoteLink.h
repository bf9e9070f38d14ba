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
    // The upload and, when `verify`, its read-back ("Verify after upload").
    // A link that cannot read back uploads without it.
    virtual UploadOutcome UploadAndVerify(int kind, bool verify) {
        (void)verify;
        UploadOutcome outcome;
        outcome.upload = UploadToRemote(kind);
        return outcome;
    }
    // Whether the upgrade's flash writes read their blocks back too (the
    // same choice as "Verify after upload").
    virtual void SetVerifyWrites(bool /*on*/) {}
    virtual void CloseLinkPort() = 0;
};

}  // namespace orvalink
