#include "comm/drive_reply.h"

#include "common/translation.h"

namespace korvane {

const char* ErrorText(int code) {
    static constexpr const char* kTexts[] = {
        "ノーエラー",
        "フレームエラー",
        "合計エラー",
        "NAKエラー",
        "タイムアウトエラー",
        "非合法機能",
        "アドレス範囲エラー",
        "データ範囲エラー",
        "書き込みモードエラー",
        "DPRAMタイムアウトエラー",
        "DPRAMオフラインエラー",
        "CRCエラー",
        "スレーブデバイスエラー",
        "モドバス例外コード",
        "未定義エラー",
    };
    constexpr int kLast = static_cast<int>(sizeof(kTexts) / sizeof(kTexts[0])) - 1;
    // A negative code is not a code the link produces; show it as undefined rather than index.
    if (code < 0 || code > kLast) return Tr(kTexts[kLast]);
    return Tr(kTexts[code]);
}

bool IsFinalReply(const DriveReply& reply) {
    return reply.errorCode == kErrNone || reply.errorCode == kErrRetriesExhausted ||
           IsRejection(reply.errorCode);
}

int FailureCode(const DriveReply& reply) {
    return reply.errorCode == kErrRetriesExhausted ? reply.failingCode : reply.errorCode;
}

}  // namespace korvane
