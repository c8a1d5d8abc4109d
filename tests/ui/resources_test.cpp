// The resources built into Secantor.exe, read back from the file: the dialog templates
// control by control, the icon, the manifest and the version block. This catches what the
// resource compiler makes of the script (default styles, the UTF-8 texts).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/ui/secantor_driver.h"

namespace {

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct Control {
    int id;
    std::wstring kind;  // window class, by name
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::wstring text;
};

struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring font;
    std::vector<Control> controls;
};

// Reads the extended dialog template format.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : m_at(data) {}

    template <class T>
    T Take() {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }

    // A string, or an ordinal as "#n"; class ordinals become class names.
    std::wstring Name() {
        const WORD first = Take<WORD>();
        if (first == 0xFFFF) {
            const WORD ordinal = Take<WORD>();
            switch (ordinal) {
                case 0x80:
                    return L"Button";
                case 0x81:
                    return L"Edit";
                case 0x82:
                    return L"Static";
                case 0x85:
                    return L"ComboBox";
                default:
                    return L"#" + std::to_wstring(ordinal);
            }
        }
        std::wstring text;
        for (WORD c = first; c != 0; c = Take<WORD>()) {
            text += static_cast<wchar_t>(c);
        }
        return text;
    }

    void AlignToDword(const BYTE* base) {
        while ((m_at - base) % 4 != 0) {
            ++m_at;
        }
    }

private:
    const BYTE* m_at;
};

class SecantorResources : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = LoadLibraryExW(SecantorPath().c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_module, nullptr);
    }
    void TearDown() override { FreeLibrary(m_module); }

    // The bytes of a resource in the given language; empty when missing.
    std::vector<BYTE> Resource(LPCWSTR type, int id, WORD language) const {
        HRSRC found = FindResourceExW(m_module, type, MAKEINTRESOURCEW(id), language);
        if (found == nullptr) {
            return {};
        }
        const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(m_module, found)));
        return std::vector<BYTE>(data, data + SizeofResource(m_module, found));
    }

    Template Dialog(int id) const {
        const std::vector<BYTE> bytes = Resource(RT_DIALOG, id, kChinese);
        Template dialog;
        if (bytes.empty()) {
            ADD_FAILURE() << "no dialog " << id << " in language 2052";
            return dialog;
        }
        TemplateReader in(bytes.data());
        EXPECT_EQ(in.Take<WORD>(), 1);       // version
        EXPECT_EQ(in.Take<WORD>(), 0xFFFF);  // extended
        in.Take<DWORD>();                    // help id
        dialog.exStyle = in.Take<DWORD>();
        dialog.style = in.Take<DWORD>();
        const WORD count = in.Take<WORD>();
        dialog.x = in.Take<short>();
        dialog.y = in.Take<short>();
        dialog.cx = in.Take<short>();
        dialog.cy = in.Take<short>();
        EXPECT_EQ(in.Name(), L"") << "no menu";
        EXPECT_EQ(in.Name(), L"") << "no class";
        dialog.caption = in.Name();
        dialog.pointSize = in.Take<WORD>();
        dialog.weight = in.Take<WORD>();
        dialog.italic = in.Take<BYTE>();
        dialog.charset = in.Take<BYTE>();
        dialog.font = in.Name();
        for (WORD i = 0; i < count; ++i) {
            in.AlignToDword(bytes.data());
            Control control;
            in.Take<DWORD>();  // help id
            control.exStyle = in.Take<DWORD>();
            control.style = in.Take<DWORD>();
            control.x = in.Take<short>();
            control.y = in.Take<short>();
            control.cx = in.Take<short>();
            control.cy = in.Take<short>();
            control.id = static_cast<int>(in.Take<DWORD>());
            control.kind = in.Name();
            control.text = in.Name();
            const WORD extra = in.Take<WORD>();
            for (WORD skip = 0; skip < extra; ++skip) {
                in.Take<BYTE>();
            }
            dialog.controls.push_back(control);
        }
        return dialog;
    }

    static void ExpectControls(const Template& dialog, const std::vector<Control>& expected) {
        ASSERT_EQ(dialog.controls.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Control& got = dialog.controls[i];
            const Control& want = expected[i];
            SCOPED_TRACE("control " + std::to_string(want.id));
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(_wcsicmp(got.kind.c_str(), want.kind.c_str()), 0) << Ansi(got.kind);
            EXPECT_EQ(got.style, want.style) << std::hex << got.style;
            EXPECT_EQ(got.exStyle, want.exStyle);
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.cx, want.cx);
            EXPECT_EQ(got.cy, want.cy);
            EXPECT_EQ(got.text, want.text) << Ansi(got.text);
        }
    }

    HMODULE m_module = nullptr;
};

TEST_F(SecantorResources, MainDialogTemplateHasEveryControlOfTheLayout) {
    const Template dialog = Dialog(IDD_MAIN_DIALOG);
    EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                               WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(dialog.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 240);
    EXPECT_EQ(dialog.cy, 191);
    EXPECT_EQ(dialog.caption, L"Secantor");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.weight, 0);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, DEFAULT_CHARSET);
    EXPECT_EQ(dialog.font, L"宋体");

    const DWORD edit = kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
    const DWORD push = kChild | WS_TABSTOP | BS_PUSHBUTTON;
    const DWORD label = kChild | WS_GROUP | SS_LEFT;
    const DWORD radio = kChild | BS_AUTORADIOBUTTON;
    const DWORD check = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
    ExpectControls(
        dialog,
        {
            {IDC_SOURCE_LABEL, L"Static", label, 0, 10, 13, 124, 10, L"请选择要分割的文件："},
            {IDC_SOURCE_PATH, L"Edit", edit, 0, 10, 27, 178, 12, L""},
            {IDC_BROWSE_SOURCE, L"Button", push, 0, 195, 26, 37, 14, L"选择..."},
            {IDC_TARGET_LABEL, L"Static", label, 0, 10, 50, 167, 10, L"请选择分割后保存文件夹："},
            {IDC_TARGET_PATH, L"Edit", edit, 0, 11, 65, 178, 13, L""},
            {IDC_MODE_SPLIT, L"Button", radio, 0, 17, 102, 78, 13, L"分隔为(单位M/个):"},
            {IDC_PIECE_SIZE, L"ComboBox",
             kChild | CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 0, 99,
             103, 28, 44, L""},
            {IDC_MODE_JOIN, L"Button", radio, 0, 138, 103, 33, 12, L"合并"},
            {IDC_STATUS, L"Static", label | SS_SUNKEN, 0, 7, 138, 225, 11, L"   状态显示："},
            {IDC_PROGRESS, L"msctls_progress32", kChild | PBS_SMOOTH | WS_BORDER, WS_EX_CLIENTEDGE,
             7, 153, 225, 11, L"Progress1"},
            {IDC_START, L"Button", push, 0, 7, 169, 47, 17, L"分割"},
            {2, L"Button", push, 0, 127, 169, 47, 17, L"关闭"},
            {IDC_ABORT, L"Button", push, 0, 65, 169, 47, 17, L"终止"},
            {IDC_BROWSE_TARGET, L"Button", push, 0, 195, 65, 37, 14, L"选择..."},
            {-1, L"Button", kChild | BS_GROUPBOX, 0, 7, 89, 225, 46, L"选项(不支持小数)"},
            {IDC_DELETE_SOURCE, L"Button", check, 0, 17, 118, 60, 10, L"删除源文件?"},
            {IDC_ABOUT, L"Button", push, 0, 185, 169, 47, 17, L"关于"},
            {IDC_FIXED_PATH, L"Button", check, 0, 99, 118, 64, 10, L"输出路径固定"},
        });
}

TEST_F(SecantorResources, AboutDialogTemplateHasItsFourControls) {
    const Template dialog = Dialog(IDD_ABOUT_DIALOG);
    EXPECT_EQ(dialog.style, 0x80c800c0u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.cx, 221);
    EXPECT_EQ(dialog.cy, 152);
    EXPECT_EQ(dialog.caption, L"关于Secanto");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.font, L"宋体");
    ASSERT_EQ(dialog.controls.size(), 4u);
    const std::wstring label = dialog.controls[3].text;
    EXPECT_FALSE(label.empty());
    ExpectControls(dialog, {
                               {IDC_ABOUT_FRAME, L"Button", 0x50000007, 0, 7, 7, 207, 138, L""},
                               {IDC_ABOUT_OK, L"Button", 0x50010000, 0, 159, 127, 50, 14, L"确定"},
                               {IDC_ABOUT_TEXT, L"Edit", 0x50a10084, 0, 13, 17, 195, 105, L""},
                               {-1, L"Static", 0x50020000, 0, 114, 129, 41, 10, label},
                           });
}

TEST_F(SecantorResources, IconManifestAndVersionBlock) {
    const std::vector<BYTE> group = Resource(RT_GROUP_ICON, IDI_APP, kChinese);
    ASSERT_EQ(group.size(), 6u + 14u) << "one image";
    EXPECT_EQ(group[6], 32);  // width
    EXPECT_EQ(group[7], 32);  // height
    EXPECT_EQ(group[12], 8);  // bits per pixel
    const WORD imageId = static_cast<WORD>(group[18] | group[19] << 8);
    const std::vector<BYTE> image = Resource(RT_ICON, imageId, kChinese);
    EXPECT_EQ(image.size(), 2216u);

    const std::vector<BYTE> manifest =
        Resource(RT_MANIFEST, 1, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    const std::string xml(manifest.begin(), manifest.end());
    EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos)
        << xml;

    const std::wstring path = SecantorPath();
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> version(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, version.data()));
    auto query = [&](const wchar_t* key) {
        void* value = nullptr;
        UINT length = 0;
        return VerQueryValueW(version.data(), key, &value, &length) ? value : nullptr;
    };
    const auto* fixed = static_cast<VS_FIXEDFILEINFO*>(query(L"\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 0x04B0);
    for (const wchar_t* key : {L"\\StringFileInfo\\080404b0\\FileVersion",
                               L"\\StringFileInfo\\080404b0\\ProductVersion"}) {
        const auto* text = static_cast<const wchar_t*>(query(key));
        ASSERT_NE(text, nullptr) << Ansi(key);
        EXPECT_STREQ(text, L"1,0,0,0");
    }
}

}  // namespace
