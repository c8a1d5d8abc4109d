// The main dialog: the user's whole working surface. It turns its controls into the job
// controller's commands and the jobs' notifications into the progress bar, the status line
// and a result box, and keeps the two option check boxes in step with the settings file.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "engine/job_controller.h"
#include "engine/job_observer.h"
#include "folder/join_upkeep.h"
#include "ui/dialog.h"
#include "ui/progress_ctrl.h"

// The fixed-output-path option as last copied from its check box; 0 or 1. User-interface
// thread only.
extern int g_bFixedPath;

class CSplitterDlg : public CDialog {
public:
    CSplitterDlg();
    ~CSplitterDlg() override;

protected:
    const MessageMap* GetMessageMap() const override;
    BOOL OnInitDialog() override;
    // The Enter key is ignored: it must never end the program, least of all during a job.
    void OnOK() override;
    // The close path: asks first while a job is busy, then stops the worker and ends.
    void OnCancel() override;

private:
    // Refreshes the texts, the size box, the status line and the bar for the current mode;
    // while a job is busy only the options are synchronised.
    void UpdateControls();
    // Copies the check boxes into the controller and g_bFixedPath; while the fixed-path box
    // is checked, puts the stored folder back into the target field.
    void SyncOptions();

    // Picks the source: a file in split mode, a folder of pieces in join mode.
    void OnBrowseSource();
    // Puts `source` (ANSI) in the source field; unless the output folder is fixed, the target
    // field gets the folder proposed for it in the current mode.
    void SetSource(const std::string& source);
    // Checks the radio button of `modeId` and follows with the texts, as a click on it does.
    void SelectMode(int modeId);
    // Picks the target folder, in either mode.
    void OnBrowseTarget();
    void OnStart();
    void OnAbort();
    void OnAbout();
    void OnDeleteSourceClicked();
    void OnFixedPathClicked();

    // Items dropped from Explorer, only while drops are welcome (DropsWelcome); the first
    // counts. A file becomes the source of a split and a folder the source of a join, as if
    // the mode were clicked and the item picked with the source's chooser; a folder over the
    // target field or its chooser becomes the target. Refused with a beep, leaving the fields
    // alone: a path the ANSI code page cannot hold, an item that cannot be found, a file over
    // the target.
    LRESULT OnDropFiles(WPARAM drop, LPARAM);
    // Drops are welcome only while the dialog is idle: no job started whose result has not
    // been shown, and no box of the dialog open (an open box disables it). A drop then would
    // change the fields under a job, or under a question whose answer goes on with what they
    // held. Otherwise the window does not take files, so that Explorer shows the drop refused.
    bool DropsWelcome() const;
    // Tells the system whether the window takes dropped files now.
    void AcceptDrops();
    // OnStart, after which a job started keeps drops out until its result.
    void OnStartClicked();
    LRESULT OnEnable(WPARAM enabled, LPARAM);
    // OnJobDone, after which drops are welcome again.
    LRESULT OnJobEnded(WPARAM result, LPARAM finished);
    LRESULT OnJobRange(WPARAM pieces, LPARAM kind);
    LRESULT OnJobProgress(WPARAM unused, LPARAM finished);
    // A join rebuilding lost pieces before it joins: the bar runs over the rebuild.
    LRESULT OnJobRebuild(WPARAM pieces, LPARAM thousandths);
    LRESULT OnJobDone(WPARAM result, LPARAM finished);
    LRESULT OnTimer(WPARAM timerId, LPARAM);

    // Draws the last count reported on the bar and the status line, and stops the timer.
    // Counts are drawn at most every kProgressRefreshMs: one that comes sooner waits for the
    // timer, and later ones replace it meanwhile. So the last count reported is drawn within
    // that time, and before the result box.
    void ShowProgress();

    bool IsChecked(int controlId) const;
    // Whether `at`, in the dialog's client coordinates, lies on the control.
    bool IsOver(int controlId, POINT at) const;
    // The control's text in the ANSI code page, as the jobs take paths.
    std::string GetItemTextA(int controlId) const;
    // The control's text as the system holds it, for the size field's full-width digits.
    std::wstring GetItemTextW(int controlId) const;

    CProgressCtrl m_wndProgress;
    bool m_bJobStarted = false;        // a job was started and its result has not come yet
    int m_nReportedPieces = 0;         // the last count a job reported
    bool m_bRefreshPending = false;    // the timer runs; the count waits for it
    ULONGLONG m_nLastRefreshTick = 0;  // when a count was last drawn
    bool m_bRebuildShown = false;      // the bar shows a rebuild, not pieces joined
    // What watches the last job and works in its folder (the list's and recovery data's
    // upkeep, checks and rebuilding), which must outlive the job: destroyed after the
    // controller.
    std::unique_ptr<JobObserver> m_pObserver;
    std::unique_ptr<folder::JoinUpkeep> m_pUpkeep;
    // Created in OnInitDialog, destroyed in OnCancel; null afterwards, when notifications
    // still queued for the window are ignored.
    std::unique_ptr<CJobController> m_pController;
};
