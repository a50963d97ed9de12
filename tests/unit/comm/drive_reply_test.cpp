#include "comm/drive_reply.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

TEST(ErrorText, GivesTheTextOfEveryCodeAndUndefinedBeyond) {
    const char* expected[] = {
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
    for (int code = 0; code <= 14; ++code) EXPECT_STREQ(ErrorText(code), expected[code]) << code;
    for (int code : {15, 100, 1000, -1}) EXPECT_STREQ(ErrorText(code), "未定義エラー") << code;
}

}  // namespace
}  // namespace korvane
