// Measurements, not checks: start-up, memory, and the time of a 1 GiB split in 1 MB pieces
// from the dialog beside the engine alone in the same Wine, on the same file. Disabled in
// normal runs; start with
//   secantor_e2e_tests --gtest_also_run_disabled_tests --gtest_filter='*Measure*'
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/job_controller.h"
#include "tests/support/job_outcome.h"
#include "tests/support/job_receiver.h"
#include "tests/support/test_files.h"
#include "tests/ui/secantor_driver.h"
#include "ui/dialog_texts.h"

namespace {

constexpr int kSourceMiB = 1024;

double Seconds(ULONGLONG since) {
    return static_cast<double>(GetTickCount64() - since) / 1000.0;
}

double MemoryMiB(HANDLE process, bool peak) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        return -1;
    }
    return static_cast<double>(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) /
           static_cast<double>(kMiB);
}

TEST(SecantorMeasure, DISABLED_MeasureStartMemoryAndSplitTime) {
    TempFolder folder;
    const std::string source = folder / "source.bin";
    {
        HANDLE file = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        for (int i = 0; i < kSourceMiB; ++i) {
            const std::string block = Pattern(kMiB, static_cast<unsigned>(i));
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(file, block.data(), kMiB, &written, nullptr));
        }
        CloseHandle(file);
    }

    for (int round = 0; round < 2; ++round) {
        {
            JobReceiver receiver;
            CJobController controller(receiver.Target());
            const ULONGLONG started = GetTickCount64();
            ASSERT_TRUE(controller.StartSplit((folder / "engine").c_str(), source.c_str(), kMiB));
            const JobOutcome outcome = CollectJob(receiver, std::chrono::minutes(5));
            std::printf("engine alone: split of 1 GiB in 1 MB pieces %.2f s (%zu progress)\n",
                        Seconds(started), outcome.progress.size());
            EXPECT_EQ(outcome.result, 0u);
        }
        RemoveTree(folder / "engine");

        SecantorProcess program(folder.Path());
        std::printf("start to visible dialog %.2f s\n", program.SecondsToDialog());
        HANDLE process =
            OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.Id());
        Sleep(1000);
        std::printf("idle working set %.1f MiB\n", MemoryMiB(process, false));
        SetText(program.Item(IDC_SOURCE_PATH), Wide(source));
        SetText(program.Item(IDC_TARGET_PATH), Wide(folder / "dialog"));
        const ULONGLONG started = GetTickCount64();
        Click(program.Item(IDC_START));
        double busiest = 0;
        MessageBoxView box;
        while (!WaitForMessageBox(program.Id(), &box, 100)) {
            busiest = std::max(busiest, MemoryMiB(process, false));
            ASSERT_LT(Seconds(started), 300.0);
        }
        std::printf(
            "dialog: split of 1 GiB in 1 MB pieces %.2f s, working set during the "
            "job up to %.1f MiB (peak %.1f MiB)\n",
            Seconds(started), busiest, MemoryMiB(process, true));
        EXPECT_EQ(box.text, kSuccessText);
        Answer(box, IDOK);
        Click(GetDlgItem(program.Dialog(), IDCANCEL));
        DWORD exitCode = 0;
        program.WaitForExit(kDefaultWaitMs, &exitCode);
        CloseHandle(process);
        RemoveTree(folder / "dialog");
    }
}

}  // namespace
