// The update's texts, in one place, and the choice of one for each way a
// step can end.
#include "transfer/update_texts.h"

const char kCompleted[] = "アップデートが完了しました。";
const char kFileFailed[] = "%s\nを更新できませんでした。\nアップデートは行われませんでした。";
const char kFileHeld[] =
    "%s\nを置き換えられませんでした。\nゲームを終了してから、もう一度アップデートしてください。\n"
    "ゲームのファイルは変更されていません。";
const char kReleaseDamaged[] =
    "%s\nが壊れているか、見つかりません。\n"
    "ダウンロードしたファイルをもう一度展開してから、アップデートしてください。\n"
    "アップデートは行われませんでした。";
const char kTooLittleSpace[] =
    "インストール先のドライブの空き容量が足りません。\nアップデートするには 約%uMの空き容量が"
    "必要です。\nアップデートは行われませんでした。";
const char kNotPutBack[] =
    "アップデートが途中で止まっています。\n%s\nを元に戻せませんでした。\n"
    "ゲームを終了してから、もう一度アップデートを起動してください。";
const char kRecordForeign[] =
    "アップデートが途中で止まっています。\n%s\nはこのアップデートのファイルではないため、"
    "元に戻せませんでした。\n途中で止まったアップデートを、もう一度起動してください。";
const char kFolderInPlace[] =
    "ゲームのフォルダの\n%s\nがファイルではなく、フォルダになっています。\n"
    "アップデートは行われませんでした。";
const char kNotMade[] =
    "ゲームのフォルダに\n%s\nを作成できませんでした。\nアップデートは行われませんでした。";
const char kFileDenied[] =
    "%s\nを置き換えることが許可されていません。\n"
    "ファイルの属性やセキュリティソフトの設定を確かめてから、もう一度アップデートしてください。\n"
    "ゲームのファイルは変更されていません。";
const char kDiskFull[] =
    "%s\nを書き込む途中で、ドライブの空き容量がなくなりました。\n"
    "空き容量を増やしてから、もう一度アップデートしてください。\n"
    "アップデートは行われませんでした。";
const char kNotThisVersion[] =
    "%s\nは、このパッチが対象とするバージョンのファイルではありません。\n"
    "このパッチは別のバージョン用です。完全版のアップデートをお使いください。\n"
    "アップデートは行われませんでした。";
const char kNotEmptied[] =
    "ゲームのフォルダの\n%s\nを削除できませんでした。\nアップデートは行われませんでした。";
const char kFolderInvalid[] =
    "インストール先のフォルダが正しくありません。\nアップデートは行われませんでした。";
const char kFolderMissing[] =
    "インストール先のフォルダ\n%s\nが見つかりません。\nアップデートは行われませんでした。";
const char kUpdateFilesUnknown[] =
    "アップデートするファイルの場所がわかりません。\nアップデートは行われませんでした。";
const char kReportCaption[] = "確認";
const char kCompletedCaption[] = "終了";

const char* patchChoiceText(PatchChoice choice) {
    switch (choice) {
        case PatchChoice::NotThisVersion: return kNotThisVersion;
        case PatchChoice::FolderInPlace: return kFolderInPlace;
        case PatchChoice::Damaged: return kReleaseDamaged;
        case PatchChoice::Failed:
        case PatchChoice::Chosen: break;
    }
    return kFileFailed;
}

// The text that tells the player why the replace step did not happen.
const char* replaceText(ReplaceOutcome outcome) {
    switch (outcome) {
        case ReplaceOutcome::Held: return kFileHeld;
        case ReplaceOutcome::Denied: return kFileDenied;
        case ReplaceOutcome::FolderInPlace: return kFolderInPlace;
        case ReplaceOutcome::NotSearchable: return kFileFailed;
        case ReplaceOutcome::NotMade: return kNotMade;
        case ReplaceOutcome::NotEmptied: return kNotEmptied;
        case ReplaceOutcome::NotPutBack:
        case ReplaceOutcome::Replaced: break;
    }
    return kNotPutBack;
}

const char* stagingText(StagingOutcome outcome) {
    switch (outcome) {
        case StagingOutcome::Damaged: return kReleaseDamaged;
        case StagingOutcome::FolderNotMade: return kNotMade;
        case StagingOutcome::DiskFull: return kDiskFull;
        case StagingOutcome::Failed:
        case StagingOutcome::Staged: break;
    }
    return kFileFailed;
}
