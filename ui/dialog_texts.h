// The texts the program itself puts on screen: the main dialog's status line, labels and start
// button in each mode, its message boxes, the open-file dialog's types and the About text. The
// tests that drive the program compare with these, so a text changed here is changed there.
// Texts shown only as the dialog templates hold them are in resources/secantor.rc.
#pragma once

inline constexpr wchar_t kIdleStatus[] = L"    状态显示：";
// The status line during a job; %d is the number of pieces finished.
inline constexpr wchar_t kFinishedStatus[] = L" 完成%d个文件";
// The status line while a join rebuilds lost pieces first; %d is the number of pieces.
inline constexpr wchar_t kRebuildStatus[] = L" 重建%d个文件";

inline constexpr wchar_t kSplitStart[] = L"分割";
inline constexpr wchar_t kJoinStart[] = L"合并";
inline constexpr wchar_t kSplitSourceLabel[] = L"请选择要分割的文件：";
inline constexpr wchar_t kJoinSourceLabel[] = L"请选择待合并文件的文件夹：";
inline constexpr wchar_t kSplitTargetLabel[] = L"请选择分割后保存到的文件夹：";
inline constexpr wchar_t kJoinTargetLabel[] = L"请选择合并后保存到的文件夹：";
// The piece sizes offered, in megabytes; the first is chosen at start.
inline constexpr const wchar_t* kPieceSizeChoices[] = {L"1", L"30", L"60"};

// In the form that ui/file_filter.h describes.
inline constexpr wchar_t kSourceFilter[] =
    L"所有文件 (*.*)|*.*|压缩文件 (*.rar;*.zip;*.7z)|*.rar;*.zip;*.7z|"
    L"视频文件*非视频分割 (*.mp4;*.3gp;*.avi)|*.mp4;*.3gp;*.avi||";

inline constexpr wchar_t kInfoCaption[] = L"信息";
inline constexpr wchar_t kEmptyFieldText[] = L"文件或路径名称不能为空";
inline constexpr wchar_t kBadPieceSizeText[] = L"分割大小必须是1到4095之间的整数（单位M）";

inline constexpr wchar_t kQuitCaption[] = L"Secanto";
inline constexpr wchar_t kQuitQuestion[] = L"工作还未完成，确实要退出吗？";
// Asked under the program's name.
inline constexpr wchar_t kAbortQuestion[] = L"确实要终止吗？";
// Asked, under kQuitCaption, before a join that can go on from the file of the joined name;
// %d is the number of pieces that file holds.
inline constexpr wchar_t kContinueQuestion[] = L"目标文件已含前%d块，要继续合并吗？";

inline constexpr wchar_t kSuccessCaption[] = L"成功";
inline constexpr wchar_t kSuccessText[] = L"操作成功完成";
inline constexpr wchar_t kFailureCaption[] = L"失败";
inline constexpr wchar_t kAbortedText[] = L"用户终止";
inline constexpr wchar_t kSourceErrorText[] = L"源文件出错";
inline constexpr wchar_t kTargetErrorText[] = L"目标文件出错";

inline constexpr wchar_t kAboutText[] =
    L"简介:\r\n"
    L"本工具能够对比较大的文件进行分割存放，利于\r\n"
    L"文件进行存储，而且对于某些文件来说，分割存储\r\n"
    L"是必须的手段。\r\n"
    L"版本:1.0";
