#pragma once

#include <QMainWindow>

#include "model/app/AppModel.h"

class QAction;

namespace tamrel {

class RootView;

// Which menu commands can be chosen. "Scan Folder…" and "Rescan" wait while a scan runs (a
// second scan would race the first); "Rescan" also needs a target; "Check for Updates…" has no
// updater on this system and stays disabled.
struct MenuRules {
    bool scanFolder;
    bool rescan;
    bool checkForUpdates;
};
MenuRules menuRules(Phase phase, bool hasScanTarget);

// The one window "Tamrel": 1320 × 840 by default, never smaller than 1120 × 680, the root view
// as its content and the menu commands (Tamrel: About, Check for Updates…, Quit; File: Scan
// Folder… Ctrl+O, Rescan Ctrl+R). Closing it quits the application.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);

    RootView* rootView() const { return root_; }
    QAction* scanFolderAction() const { return scanFolder_; }
    QAction* rescanAction() const { return rescan_; }
    QAction* checkForUpdatesAction() const { return checkForUpdates_; }

private:
    void updateCommands();

    AppModel& model_;
    RootView* root_;
    QAction* scanFolder_;
    QAction* rescan_;
    QAction* checkForUpdates_;
};

}  // namespace tamrel
