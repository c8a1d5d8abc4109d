// Bad input given to Secantor.exe: blank fields, a folder or an over-long path where a file
// is wanted, a file where a folder is wanted, names Windows forbids, a read-only medium,
// "__" names that are no pieces, piece lengths that no one split makes, and pieces held
// open by another process. Each must end with its box and leave the user's files as they
// were, byte for byte. Delete-after-use is on unless a case says otherwise, so a job that
// wrongly deletes shows it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/ui/secantor_driver.h"
#include "ui/dialog_texts.h"

namespace {

// Paths beyond MAX_PATH need the "\\?\" form of the wide calls; the test makes and reads
// them that way, while the program gets them in the ANSI code page as typed.
std::wstring Extended(const std::string& path) {
    return L"\\\\?\\" + Wide(path);
}

std::string ReadExtended(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot read " + Ansi(path));
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

void WriteExtended(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok =
        file != INVALID_HANDLE_VALUE &&
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    if (!ok) {
        throw std::runtime_error("cannot write " + Ansi(path));
    }
}

void RemoveExtended(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveExtended(path + L"\\" + name);
            } else {
                DeleteFileW((path + L"\\" + name).c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

// Every file and folder below a folder: relative name (a folder's ends with '\') to bytes.
using Tree = std::map<std::wstring, std::string>;

void AddTree(const std::wstring& root, const std::wstring& relative, Tree* tree) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((root + relative + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*tree)[relative + name + L"\\"] = "";
            AddTree(root, relative + name + L"\\", tree);
        } else {
            (*tree)[relative + name] = ReadExtended(root + relative + name);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

Tree Snapshot(const std::string& folder) {
    std::wstring root = Extended(folder);
    if (root.back() != L'\\') {
        root += L'\\';
    }
    Tree tree;
    AddTree(root, L"", &tree);
    return tree;
}

// What differs between two snapshots, one line per name; empty when nothing does.
std::string Changes(const Tree& before, const Tree& after) {
    std::string changes;
    for (const auto& [name, bytes] : before) {
        const auto found = after.find(name);
        if (found == after.end()) {
            changes += "gone: " + Ansi(name) + "\n";
        } else if (found->second != bytes) {
            changes += "changed: " + Ansi(name) + " (" + std::to_string(bytes.size()) + " -> " +
                       std::to_string(found->second.size()) + " bytes)\n";
        }
    }
    for (const auto& entry : after) {
        if (before.count(entry.first) == 0) {
            changes += "new: " + Ansi(entry.first) + "\n";
        }
    }
    return changes;
}

// The last entry of a folder's listing, "." and ".." left out: the one that names a join.
std::string LastListed(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    std::string last;
    if (find == INVALID_HANDLE_VALUE) {
        return last;
    }
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") {
            last = name;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return last;
}

class BadInput : public ::testing::Test {
protected:
    BadInput() {
        // Delete-after-use on from the start, as stored by an earlier run.
        WritePrivateProfileStringA("Set", "D", "1", (m_folder / "Set.ini").c_str());
    }

    // Names beyond MAX_PATH, or ending in a blank, are out of reach of the ANSI calls that
    // TempFolder cleans up with.
    ~BadInput() override {
        const std::string& path = m_folder.Path();
        RemoveExtended(Extended(path.substr(0, path.size() - 1)));
    }

    // Folder "long" with three levels of 100-character names below it: more than 260 bytes
    // and characters. Returns the innermost folder.
    std::string MakeLongFolder() const {
        std::string path = m_folder / "long";
        CreateDirectoryW(Extended(path).c_str(), nullptr);
        for (char letter : {'a', 'b', 'c'}) {
            path += "\\" + std::string(100, letter);
            CreateDirectoryW(Extended(path).c_str(), nullptr);
        }
        EXPECT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
        return path;
    }

    static void Start(const SecantorProcess& program,
                      const std::string& source,
                      const std::string& target) {
        SetText(program.Item(IDC_SOURCE_PATH), Wide(source));
        SetText(program.Item(IDC_TARGET_PATH), Wide(target));
        Click(program.Item(IDC_START));
    }

    // Waits for the failure box with `text` and answers it.
    static void ExpectFailureBox(const SecantorProcess& program, const std::wstring& text) {
        MessageBoxView box;
        ASSERT_TRUE(WaitForMessageBox(program.Id(), &box)) << "no box for " << Ansi(text);
        EXPECT_EQ(box.caption, kFailureCaption);
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.owner, program.Dialog());
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        ASSERT_TRUE(Answer(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_STATUS)) == kIdleStatus; }));
    }

    static void ExpectSuccessBox(const SecantorProcess& program) {
        MessageBoxView box;
        ASSERT_TRUE(WaitForMessageBox(program.Id(), &box)) << "no success box";
        EXPECT_EQ(box.caption, kSuccessCaption);
        EXPECT_EQ(box.text, kSuccessText);
        ASSERT_TRUE(Answer(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_STATUS)) == kIdleStatus; }));
    }

    // Starts a job that must fail with `text` and change nothing in the test's folder.
    void ExpectRefused(const SecantorProcess& program,
                       const std::string& source,
                       const std::string& target,
                       const std::wstring& text) const {
        const Tree before = Snapshot(m_folder.Path());
        Start(program, source, target);
        ExpectFailureBox(program, text);
        EXPECT_EQ(Changes(before, Snapshot(m_folder.Path())), "");
    }

    static void SwitchToJoin(const SecantorProcess& program) {
        Click(program.Item(IDC_MODE_JOIN));
        ASSERT_TRUE(WaitUntil([&] { return Text(program.Item(IDC_START)) == kJoinStart; }));
    }

    static void CloseIdle(SecantorProcess& program) {
        Click(GetDlgItem(program.Dialog(), IDCANCEL));
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(kDefaultWaitMs, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    // The pieces of a.bin that a split of `content` into pieces of `pieceSize` bytes writes
    // in `folder`, over any pieces of the same numbers. 9000 bytes make 4096, 4096 and 808.
    static std::vector<std::string> WritePieces(const std::string& folder,
                                                const std::string& content,
                                                std::uint64_t pieceSize = 4096) {
        if (!Exists(folder)) {
            MakeFolder(folder);
        }
        const std::vector<std::string> pieces = ExpectedPieces(content, pieceSize);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            WriteWholeFile(folder + "\\" + std::to_string(i + 1) + "__a.bin", pieces[i]);
        }
        return pieces;
    }

    TempFolder m_folder;
};

// One bad pair of fields and the failure box it must bring.
struct Case {
    const char* what;
    std::string source;
    std::string target;
    std::wstring box;
};

TEST_F(BadInput, SplitRefusesEachBadFieldAndKeepsTheSource) {
    const std::string source = m_folder / "a.bin";
    WriteWholeFile(source, Pattern(300000, 3));
    MakeFolder(m_folder / "folder");
    WriteWholeFile(m_folder / "folder/inside.bin", Pattern(5000, 4));
    WriteWholeFile(m_folder / "existing.txt", "a file where a folder is wanted");
    const std::string longFolder = MakeLongFolder();
    WriteExtended(Extended(longFolder + "\\a.bin"), Pattern(7000, 5));

    SecantorProcess program(m_folder.Path());
    ASSERT_TRUE(IsChecked(program.Item(IDC_DELETE_SOURCE)));

    // An empty field is refused by the dialog; blanks are a name, which the job cannot use.
    const Tree before = Snapshot(m_folder.Path());
    Start(program, "", "   ");
    MessageBoxView box;
    ASSERT_TRUE(WaitForMessageBox(program.Id(), &box));
    EXPECT_EQ(box.caption, kInfoCaption);
    EXPECT_EQ(box.text, kEmptyFieldText);
    EXPECT_EQ(box.owner, nullptr);
    ASSERT_TRUE(Answer(box, IDOK));
    EXPECT_EQ(Changes(before, Snapshot(m_folder.Path())), "");
    const std::string pieces = m_folder / "pieces";
    // Relative paths, blanks included, name folders in the program's working folder, which
    // is the test's folder. Above the long target every folder exists, so a refusal there
    // leaves nothing behind.
    const Case cases[] = {
        {"blank source", "   ", pieces, kSourceErrorText},
        {"blank target", source, "  ", kTargetErrorText},
        {"source is a folder", m_folder / "folder", pieces, kSourceErrorText},
        {"target is a file", source, m_folder / "existing.txt", kTargetErrorText},
        {"target with ?", source, m_folder / "out?", kTargetErrorText},
        {"target with *", source, m_folder / "out*", kTargetErrorText},
        {"target with |", source, m_folder / "a|b", kTargetErrorText},
        {"target with < and >", source, m_folder / "a<b>", kTargetErrorText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRefused(program, c.source, c.target, c.box);
    }
    // Paths over 260 characters are no bad input: the long file is split into a long folder,
    // and deleted after use.
    Start(program, longFolder + "\\a.bin", longFolder + "\\pieces");
    ExpectSuccessBox(program);
    EXPECT_EQ(ReadExtended(Extended(longFolder + "\\pieces\\1__a.bin")), Pattern(7000, 5));
    EXPECT_EQ(GetFileAttributesW(Extended(longFolder + "\\a.bin").c_str()),
              INVALID_FILE_ATTRIBUTES);
    CloseIdle(program);
}

TEST_F(BadInput, JoinRefusesEachBadFieldBeforeCreatingAnything) {
    const std::string content = Pattern(9000, 6);
    const std::string pieces = m_folder / "pieces";
    WritePieces(pieces, content);
    WriteWholeFile(m_folder / "existing.txt", "a file where a folder is wanted");
    const std::string longFolder = MakeLongFolder();
    for (int n = 1; n <= 2; ++n) {
        WriteExtended(Extended(longFolder + "\\" + std::to_string(n) + "__a.bin"), Pattern(100, n));
    }
    // Only an unrelated name with "__": its text after "__" must not name a file to make.
    MakeFolder(m_folder / "unrelated");
    WriteWholeFile(m_folder / "unrelated/x__y", "not a piece");
    MakeFolder(m_folder / "out");
    WriteWholeFile(m_folder / "out/y", "the user's own file named y");
    WriteWholeFile(m_folder / "out/old", "the user's own file named old");
    // Split in pieces of 4096 bytes, then again into the same folder in pieces three times
    // as long: pieces 3 to 5 are left from the first split.
    const std::string stale = m_folder / "stale";
    WritePieces(stale, Pattern(20000, 7));
    WritePieces(stale, Pattern(20000, 7), 3 * 4096);
    const std::string cut = m_folder / "cut";
    WritePieces(cut, content);
    WriteWholeFile(cut + "\\2__a.bin", content.substr(4096, 1000));

    SecantorProcess program(m_folder.Path());
    SwitchToJoin(program);
    const std::string joined = m_folder / "joined";
    const Case cases[] = {
        {"blank source", "   ", joined, kSourceErrorText},
        {"source is a file", pieces + "\\1__a.bin", joined, kSourceErrorText},
        {"missing source", m_folder / "nothing", joined, kSourceErrorText},
        {"target is a file", pieces, m_folder / "existing.txt", kTargetErrorText},
        {"target with ?", pieces, m_folder / "out?", kTargetErrorText},
        {"unrelated x__y only", m_folder / "unrelated", m_folder / "out", kSourceErrorText},
    };
    // Piece lengths that no one split makes.
    const Case mismatched[] = {
        {"stale pieces of an earlier split", stale, joined, kSourceErrorText},
        {"middle piece cut short", cut, joined, kSourceErrorText},
    };
    auto refuse = [&](const Case& c) {
        SCOPED_TRACE(c.what);
        ExpectRefused(program, c.source, c.target, c.box);
        // Refused before the output exists: no piece count was announced.
        EXPECT_EQ(ProgressHigh(program.Item(IDC_PROGRESS)), 100);
    };
    for (const Case& c : cases) {
        refuse(c);
    }
    for (const Case& c : mismatched) {
        refuse(c);
    }
    Click(program.Item(IDC_DELETE_SOURCE));
    ASSERT_TRUE(WaitUntil([&] { return !IsChecked(program.Item(IDC_DELETE_SOURCE)); }));
    for (const Case& c : mismatched) {
        SCOPED_TRACE("without delete-after-use");
        refuse(c);
    }
    // Paths over 260 characters are no bad input: the long folder's pieces join into a long
    // folder.
    Start(program, longFolder, longFolder + "\\joined");
    ExpectSuccessBox(program);
    EXPECT_EQ(ReadExtended(Extended(longFolder + "\\joined\\a.bin")),
              Pattern(100, 1) + Pattern(100, 2));
    CloseIdle(program);
}

// A read-only medium mounted by tests/ui/readonly_medium: a folder "out" holding a.bin.
TEST_F(BadInput, ReadOnlyMediumAsTargetKeepsSourceAndMedium) {
    const char* medium = std::getenv("SECANTO_READONLY_FOLDER");
    if (medium == nullptr || GetFileAttributesA((std::string(medium) + "\\out\\a.bin").c_str()) ==
                                 INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no read-only medium: tests/ui/readonly_medium mounts one as root";
    }
    const std::string out = std::string(medium) + "\\out";
    const std::string source = m_folder / "a.bin";
    WriteWholeFile(source, Pattern(300000, 7));
    const std::string content = Pattern(9000, 8);
    WritePieces(m_folder / "pieces", content);
    const Tree mediumBefore = Snapshot(medium);

    SecantorProcess program(m_folder.Path());
    for (const std::string& target : {out, out + "\\new\\deeper", std::string(medium)}) {
        SCOPED_TRACE("split into " + target);
        ExpectRefused(program, source, target, kTargetErrorText);
    }
    SwitchToJoin(program);
    for (const std::string& target : {out, out + "\\new"}) {
        SCOPED_TRACE("join into " + target);
        ExpectRefused(program, m_folder / "pieces", target, kTargetErrorText);
    }
    EXPECT_EQ(Changes(mediumBefore, Snapshot(medium)), "");
    CloseIdle(program);
}

// Another program holds a piece open. The job reads pieces with read sharing and deletes
// each once its bytes are flushed into the output. A holder that denies reading makes the
// join fail with the source error before anything is made, since every piece is opened
// first. A holder that allows reading lets the join complete; its piece goes when the
// holder lets it go.
TEST_F(BadInput, PiecesHeldOpenByAnotherProgram) {
    const std::string content = Pattern(9000, 9);
    const std::string pieces = m_folder / "pieces";
    const std::vector<std::string> written = WritePieces(pieces, content);
    const std::string joined = m_folder / "joined";
    auto piece = [&](int n) { return pieces + "\\" + std::to_string(n) + "__a.bin"; };
    auto hold = [&](int n, DWORD sharing) {
        HANDLE file = CreateFileA(piece(n).c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        return file;
    };

    SecantorProcess program(m_folder.Path());
    SwitchToJoin(program);

    HANDLE held = hold(2, 0);
    Start(program, pieces, joined);
    ExpectFailureBox(program, kSourceErrorText);
    CloseHandle(held);
    // Nothing joined, nothing deleted.
    EXPECT_EQ(ListNames(pieces), (std::vector<std::string>{"1__a.bin", "2__a.bin", "3__a.bin"}));
    EXPECT_FALSE(Exists(joined));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(ReadWholeFile(piece(n)), written[n - 1]);
    }

    held = hold(3, FILE_SHARE_READ);
    Start(program, pieces, joined);
    ExpectSuccessBox(program);
    EXPECT_EQ(ListNames(pieces), std::vector<std::string>{"3__a.bin"})
        << "a piece open without delete sharing cannot be deleted";
    CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(piece(3)), written[2]);
    EXPECT_EQ(ReadWholeFile(joined + "\\a.bin"), content);

    WriteWholeFile(piece(1), written[0]);
    WriteWholeFile(piece(2), written[1]);
    held = hold(2, FILE_SHARE_READ | FILE_SHARE_DELETE);
    Start(program, pieces, joined);
    ExpectSuccessBox(program);
    EXPECT_EQ(ReadWholeFile(joined + "\\a.bin"), content);
    CloseHandle(held);
    EXPECT_TRUE(ListNames(pieces).empty()) << "the held piece goes once it is closed";
    CloseIdle(program);
}

// Paths longer than 260 bytes are fine while they stay within 260 characters: Chinese
// names take two bytes a character in code page 936. U+8B00 is 0xD6 0x5C there, its second
// byte that of '\', which must not be taken for a separator.
TEST_F(BadInput, PathsOverTwoHundredSixtyBytesInChineseSplitAndJoin) {
    const std::string level = Ansi(std::wstring(60, L'\u8B00') + L"长路径");
    const std::string sourceFolder = m_folder / (Ansi(L"源") + level + "/" + level);
    const std::string pieces = m_folder / (Ansi(L"块") + level + "/" + level);
    const std::string joined = m_folder / (Ansi(L"合") + level + "/" + level);
    MakeFolder(m_folder / (Ansi(L"源") + level));
    MakeFolder(sourceFolder);
    const std::string name = Ansi(L"影片.bin");
    const std::string source = sourceFolder + "\\" + name;
    ASSERT_GT(source.size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_LT(Wide(pieces + "\\1__" + name).size(), static_cast<std::size_t>(MAX_PATH));
    const std::string content = Pattern(kMiB + 5000, 10);
    WriteWholeFile(source, content);

    SecantorProcess program(m_folder.Path());
    Start(program, source, pieces);
    MessageBoxView box;
    ASSERT_TRUE(WaitForMessageBox(program.Id(), &box));
    EXPECT_EQ(box.text, kSuccessText);
    ASSERT_TRUE(Answer(box, IDOK));
    EXPECT_EQ(ListNames(pieces), (std::vector<std::string>{"1__" + name, "2__" + name}));
    const std::vector<std::string> expected = ExpectedPieces(content, kMiB);
    EXPECT_EQ(ReadWholeFile(pieces + "\\1__" + name), expected[0]);
    EXPECT_EQ(ReadWholeFile(pieces + "\\2__" + name), expected[1]);
    EXPECT_FALSE(Exists(source)) << "deleted after use";

    SwitchToJoin(program);
    Start(program, pieces, joined);
    ASSERT_TRUE(WaitForMessageBox(program.Id(), &box));
    EXPECT_EQ(box.text, kSuccessText);
    ASSERT_TRUE(Answer(box, IDOK));
    EXPECT_EQ(ReadWholeFile(joined + "\\" + name), content);
    EXPECT_TRUE(ListNames(pieces).empty());
    CloseIdle(program);
}

// A blank target names no folder: the join refuses it as the split does, rather than make
// a folder of blanks that the user cannot see.
TEST_F(BadInput, JoinRefusesABlankTarget) {
    const std::string pieces = m_folder / "pieces";
    WritePieces(pieces, Pattern(9000, 11));
    SecantorProcess program(m_folder.Path());
    SwitchToJoin(program);
    ExpectRefused(program, pieces, "  ", kTargetErrorText);
    CloseIdle(program);
}

// A folder cannot be a piece: it must neither replace the user's file of the output's name
// nor let the pieces before it be joined and deleted.
TEST_F(BadInput, JoinTakesNoFolderForAPiece) {
    const std::string content = Pattern(9000, 12);
    MakeFolder(m_folder / "only");
    MakeFolder(m_folder / "only/1__sub");
    const std::string mixed = m_folder / "mixed";
    const std::vector<std::string> written = WritePieces(mixed, content);
    MakeFolder(mixed + "\\4__a.bin");
    ASSERT_EQ(LastListed(mixed), "4__a.bin");
    const std::string out = m_folder / "out";
    MakeFolder(out);
    WriteWholeFile(out + "\\sub", "the user's own file named sub");
    WriteWholeFile(out + "\\a.bin", "the user's own a.bin");

    SecantorProcess program(m_folder.Path());
    SwitchToJoin(program);
    {
        SCOPED_TRACE("sub-folder 1__sub, the only match");
        ExpectRefused(program, m_folder / "only", out, kSourceErrorText);
    }
    // Either refused with nothing changed, or pieces 1 to 3 joined as a whole.
    const Tree before = Snapshot(m_folder.Path());
    Start(program, mixed, out);
    MessageBoxView box;
    ASSERT_TRUE(WaitForMessageBox(program.Id(), &box));
    const bool joined = box.text == kSuccessText;
    ASSERT_TRUE(Answer(box, IDOK));
    if (joined) {
        EXPECT_EQ(ReadWholeFile(out + "\\a.bin"), content);
        EXPECT_EQ(ListNames(mixed), std::vector<std::string>{"4__a.bin"});
    } else {
        EXPECT_EQ(box.text, kSourceErrorText);
        EXPECT_EQ(Changes(before, Snapshot(m_folder.Path())), "");
    }
    CloseIdle(program);
}

// Piece 1 held without read sharing: nothing can be joined, so the user's file of the
// output's name must stay as it was.
TEST_F(BadInput, JoinThatJoinsNothingKeepsTheTargetsFile) {
    const std::string pieces = m_folder / "pieces";
    WritePieces(pieces, Pattern(9000, 13));
    MakeFolder(m_folder / "out");
    WriteWholeFile(m_folder / "out/a.bin", "the user's own a.bin");
    const Tree before = Snapshot(m_folder.Path());

    SecantorProcess program(m_folder.Path());
    SwitchToJoin(program);
    HANDLE held = CreateFileA((pieces + "\\1__a.bin").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Start(program, pieces, m_folder / "out");
    ExpectFailureBox(program, kSourceErrorText);
    CloseHandle(held);
    EXPECT_EQ(Changes(before, Snapshot(m_folder.Path())), "");
    CloseIdle(program);
}

}  // namespace
