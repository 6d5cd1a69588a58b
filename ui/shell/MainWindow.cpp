#include "ui/shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>

#include "ui/shell/RootView.h"

namespace tamrel {

MenuRules menuRules(Phase phase, bool hasScanTarget) {
    const bool idle = phase != Phase::scanning;
    return {idle, idle && hasScanTarget, false};
}

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent), model_(model) {
    setWindowTitle(QStringLiteral("Tamrel"));
    setMinimumSize(1120, 680);
    resize(1320, 840);
    root_ = new RootView(model, this);
    setCentralWidget(root_);

    QMenu* app = menuBar()->addMenu(QStringLiteral("&Tamrel"));
    QAction* about = app->addAction(QStringLiteral("About Tamrel"));
    connect(about, &QAction::triggered, this, [this] {
        QMessageBox::about(this, QStringLiteral("About Tamrel"),
                           QStringLiteral("Tamrel shows where the space on a disk goes."));
    });
    checkForUpdates_ = app->addAction(QStringLiteral("Check for Updates…"));
    checkForUpdates_->setEnabled(false);
    app->addSeparator();
    QAction* quit = app->addAction(QStringLiteral("Quit Tamrel"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    scanFolder_ = file->addAction(QStringLiteral("Scan Folder…"));
    scanFolder_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(scanFolder_, &QAction::triggered, this, [this] { model_.chooseFolder(); });
    rescan_ = file->addAction(QStringLiteral("Rescan"));
    rescan_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(rescan_, &QAction::triggered, this, [this] { model_.rescan(); });

    connect(&model_, &AppModel::phaseChanged, this, &MainWindow::updateCommands);
    connect(&model_, &AppModel::scanTargetChanged, this, &MainWindow::updateCommands);
    updateCommands();
}

void MainWindow::updateCommands() {
    const MenuRules rules = menuRules(model_.phase(), model_.scanTarget().has_value());
    scanFolder_->setEnabled(rules.scanFolder);
    rescan_->setEnabled(rules.rescan);
    checkForUpdates_->setEnabled(rules.checkForUpdates);
}

}  // namespace tamrel
