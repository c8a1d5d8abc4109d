// The dialog's control ids and the texts it shows, written out here once as the users see
// them: every other test takes them from the product's headers, so a change there would
// otherwise go unnoticed.
#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "ui/dialog_texts.h"

namespace {

TEST(DialogLiterals, ControlIdsAreTheDialogsOwn) {
    const struct {
        int id;
        int literal;
    } kIds[] = {
        {IDD_MAIN_DIALOG, 101},    {IDI_APP, 102},
        {IDD_ABOUT_DIALOG, 104},   {IDC_STATUS, 1000},
        {IDC_DELETE_SOURCE, 1001}, {IDC_SOURCE_PATH, 1002},
        {IDC_BROWSE_SOURCE, 1003}, {IDC_TARGET_PATH, 1004},
        {IDC_MODE_SPLIT, 1006},    {IDC_PIECE_SIZE, 1007},
        {IDC_MODE_JOIN, 1008},     {IDC_BROWSE_TARGET, 1009},
        {IDC_PROGRESS, 1010},      {IDC_START, 1011},
        {IDC_SOURCE_LABEL, 1013},  {IDC_TARGET_LABEL, 1014},
        {IDC_ABORT, 1015},         {IDC_ABOUT, 1017},
        {IDC_FIXED_PATH, 1022},
    };
    for (const auto& c : kIds) {
        EXPECT_EQ(c.id, c.literal);
    }
}

TEST(DialogLiterals, TextsAreTheDialogsOwn) {
    const struct {
        const wchar_t* text;
        const wchar_t* literal;
    } kTexts[] = {
        {kIdleStatus, L"    状态显示："},
        {kFinishedStatus, L" 完成%d个文件"},
        {kRebuildStatus, L" 重建%d个文件"},
        {kSplitStart, L"分割"},
        {kJoinStart, L"合并"},
        {kSplitSourceLabel, L"请选择要分割的文件："},
        {kJoinSourceLabel, L"请选择待合并文件的文件夹："},
        {kSplitTargetLabel, L"请选择分割后保存到的文件夹："},
        {kJoinTargetLabel, L"请选择合并后保存到的文件夹："},
        {kInfoCaption, L"信息"},
        {kEmptyFieldText, L"文件或路径名称不能为空"},
        {kQuitCaption, L"Secanto"},
        {kQuitQuestion, L"工作还未完成，确实要退出吗？"},
        {kAbortQuestion, L"确实要终止吗？"},
        {kContinueQuestion, L"目标文件已含前%d块，要继续合并吗？"},
        {kSuccessCaption, L"成功"},
        {kSuccessText, L"操作成功完成"},
        {kFailureCaption, L"失败"},
        {kAbortedText, L"用户终止"},
        {kSourceErrorText, L"源文件出错"},
        {kTargetErrorText, L"目标文件出错"},
    };
    for (const auto& c : kTexts) {
        EXPECT_EQ(std::wstring(c.text), std::wstring(c.literal));
    }
}

}  // namespace
