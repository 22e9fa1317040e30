#pragma once

#include <string>
#include <string_view>

// The engine's messages and caption, UTF-8.
namespace morvex {

inline constexpr const char* kErrorCaption = "エラー";
/// The caption of what the pass reports and goes on past (entries left out of a pool).
inline constexpr const char* kWarningCaption = "警告";
inline constexpr const char* kMsgTempCreate = "テンポラリファイルの作成に失敗しました";
inline constexpr const char* kMsgTempWrite = "テンポラリファイルの書き込みに失敗しました";
inline constexpr const char* kMsgFooterListOpen = "フッタリストが開けませんでした";
inline constexpr const char* kMsgHeaderListOpen = "ヘッダリストが開けませんでした";
inline constexpr const char* kMsgOutputCreate = "変換先ファイルの作成に失敗しました";
inline constexpr const char* kMsgOutputWrite = "変換先ファイルの書き込みに失敗しました";
inline constexpr const char* kMsgInputRead = "変換元ファイルの読み込みに失敗しました";
inline constexpr const char* kMsgChangedMeanwhile =
    "変換中にファイルが変更されたため、置き換えませんでした";

// Messages that are followed by ": " and the file, list pattern or source entry they concern.
inline constexpr const char* kMsgSourceMissing = "変換元ファイルが見つかりませんでした";
inline constexpr const char* kMsgInputOpen = "変換元ファイルが開けませんでした";
inline constexpr const char* kMsgBackupCreate = "バックアップファイルの作成に失敗しました";
inline constexpr const char* kMsgBackupCollision =
    "バックアップが変換元のファイルか、別のファイルのために作ったバックアップを置き換えるため、"
    "変換しませんでした";
/// Followed by the encoding the file appears to be in, "): " and the file.
inline constexpr const char* kMsgOtherEncoding =
    "選んだ文字コードと違う文字コードのファイルのため、変換しませんでした (";
inline constexpr const char* kMsgOutOfMemory = "メモリが足りないため、変換できませんでした";

/// A marker met a pool with nothing to draw, so the file was left as it was: names the list
/// pattern and the file.
inline std::string emptyPoolMessage(bool footer, std::string_view pattern, std::string_view file) {
    std::string text = footer ? "フッタリスト「" : "ヘッダリスト「";
    text.append(pattern);
    text.append("」が見つからないか空のため、変換しませんでした: ");
    text.append(file);
    return text;
}

inline constexpr const char* kMsgRoundDamaged =
    "抽選の記録が壊れていたため、別名で残して新しい巡回を始めました";
inline constexpr const char* kMsgRoundUnsaved =
    "抽選の記録を保存できないため、この変換の中だけで重複を避けます";
inline constexpr const char* kMsgNoBackup = "バックアップファイルがありません";
inline constexpr const char* kMsgBackupNotRegular = "バックアップが通常のファイルではありません";
inline constexpr const char* kMsgBackupIsFile =
    "バックアップ名が変換元のファイル自身を指しています";
inline constexpr const char* kMsgBackupReplaced =
    "変換の後でバックアップが別のファイルに置き換えられたため、元に戻しませんでした";
inline constexpr const char* kMsgExchangeUnsupported =
    "このファイルシステムではファイルとバックアップを一度に入れ替えられないため、元に戻せませんでし"
    "た";
inline constexpr const char* kMsgExchangeCrossDevice =
    "ファイルとバックアップが別のファイルシステムにあるため、元に戻せませんでした";
inline constexpr const char* kMsgExchangeFailed =
    "ファイルとバックアップを入れ替えられませんでした";
inline constexpr const char* kMsgNothingToRedraw =
    "バックアップに挿入するものがないため、引き直しませんでした";

} // namespace morvex
