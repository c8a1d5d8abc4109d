// The messages a job posts to its receiver, and the result codes of a job's end.
//
//   WM_JOB_RANGE     wParam: pieces expected       lParam: 1 split, 0 join
//   WM_JOB_DONE      wParam: result code           lParam: pieces finished
//   WM_JOB_PROGRESS  wParam: 0                     lParam: pieces finished so far
//   WM_JOB_REBUILD   wParam: pieces rebuilt        lParam: thousandths of the work done
//
// A job posts at most one WM_JOB_RANGE, before any WM_JOB_PROGRESS; progress counts run
// 1, 2, 3 … without gaps; exactly one WM_JOB_DONE ends every job that the controller's
// teardown did not stop. A join that rebuilds pieces first posts WM_JOB_REBUILD, as the
// rebuild goes, before its WM_JOB_RANGE.
#pragma once

constexpr unsigned kWmUser = 0x400;

constexpr unsigned WM_JOB_RANGE = kWmUser + 100;
constexpr unsigned WM_JOB_DONE = kWmUser + 101;
constexpr unsigned WM_JOB_PROGRESS = kWmUser + 102;
constexpr unsigned WM_JOB_REBUILD = kWmUser + 103;

enum JobResult : unsigned {
    JOB_OK = 0,
    JOB_ABORTED = 1,
    JOB_SOURCE_ERROR = 2,
    JOB_TARGET_ERROR = 3,
};
