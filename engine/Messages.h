#pragma once

// The engine's messages and caption, UTF-8.
namespace morvex {

inline constexpr const char* kErrorCaption = "エラー";
inline constexpr const char* kMsgTempCreate = "テンポラリファイルの作成に失敗しました";
inline constexpr const char* kMsgTempWrite = "テンポラリファイルの書き込みに失敗しました";
inline constexpr const char* kMsgFooterListOpen = "フッタリストが開けませんでした";
inline constexpr const char* kMsgHeaderListOpen = "ヘッダリストが開けませんでした";
inline constexpr const char* kMsgOutputCreate = "変換先ファイルの作成に失敗しました";
inline constexpr const char* kMsgOutputWrite = "変換先ファイルの書き込みに失敗しました";
inline constexpr const char* kMsgInputRead = "変換元ファイルの読み込みに失敗しました";
inline constexpr const char* kMsgChangedMeanwhile =
    "変換中にファイルが変更されたため、置き換えませんでした";

} // namespace morvex
