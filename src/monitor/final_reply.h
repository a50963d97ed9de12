#pragma once
// Which results end a request: success, a rejection the drive gave (never repeated) and retries
// exhausted. Every other error code is a notice that the exchange will be repeated; a window
// that acted on one would act again on the real result.
#include "comm/drive_reply.h"

namespace korvane {

inline bool IsFinalReply(const DriveReply& reply) {
    return reply.errorCode == kErrNone || reply.errorCode == kErrRetriesExhausted ||
           (reply.errorCode >= kErrIllegalFunction && reply.errorCode <= kErrWriteMode);
}

// The code a final failure is shown with: the last real code when the retries ran out.
inline int FailureCode(const DriveReply& reply) {
    return reply.errorCode == kErrRetriesExhausted ? reply.failingCode : reply.errorCode;
}

}  // namespace korvane
