// Attach and detach.

#include "link/Attach.h"

namespace tarnel {

int AttachAdapter() {
    if (OpenLink() != kLinkOk) {
        return 1;
    }
    // The out buffer is empty after OpenLink, so the flush writes exactly the attach bytes.
    if (PutByte(kAttachBytes[0]) != kLinkOk || PutByte(kAttachBytes[1]) != kLinkOk ||
        FlushLink() != kLinkOk ||
        SetLinkTimeouts(kAttachedTimeoutMs, kAttachedTimeoutMs) != kLinkOk) {
        // Leave no device open: the next attach could not open it again.
        AbandonLink();
        return 1;
    }
    SetLinkAutoFlush(1);
    return 0;
}

int DetachAdapter() {
    bool failed = PutByte(kDetachBytes[0]) != kLinkOk;
    failed = (PutByte(kDetachBytes[1]) != kLinkOk) || failed;
    failed = (FlushLink() != kLinkOk) || failed;
    failed = (CloseLink() != kLinkOk) || failed;
    return failed ? 1 : 0;
}

}  // namespace tarnel
