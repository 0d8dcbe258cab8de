#include "kvmainwindow.h"

#include <QAction>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

#include "kvapp.h"
#include "kvdialogs.h"
#include "kvplugin.h"
#include "kvscene.h"

KvPaneMgr::KvPaneMgr(QMainWindow* window)
    : QObject(window), m_window(window), m_menu(new QMenu(tr("&Window"), window)) {}

void KvPaneMgr::addPane(KvPane* pane, Qt::DockWidgetArea area, bool visible) {
    auto* dock = new QDockWidget(pane->getTitle(), m_window);
    dock->setObjectName(QString::fromLatin1(pane->metaObject()->className()) +
                        QStringLiteral("Dock"));
    dock->setWidget(pane);
    m_window->addDockWidget(area, dock);
    m_panes.append({pane, dock});
    QAction* toggle = dock->toggleViewAction();
    toggle->setText(pane->getTitle());
    m_menu->addAction(toggle);
    // The dock's close button and the menu both come through here.
    connect(dock, &QDockWidget::visibilityChanged, pane,
            [pane, dock](bool) { pane->setPaneVisible(!dock->isHidden()); });
    dock->setVisible(visible);
    pane->setPaneVisible(visible);
}

KvPane* KvPaneMgr::findPane(const QString& className) const {
    for (const auto& p : m_panes)
        if (p.first && className == QLatin1String(p.first->metaObject()->className()))
            return p.first;
    return nullptr;
}

QDockWidget* KvPaneMgr::dockOf(const KvPane* pane) const {
    for (const auto& p : m_panes)
        if (p.first == pane) return p.second;
    return nullptr;
}

void KvPaneMgr::showPane(const QString& className) {
    KvPane* pane = findPane(className);
    if (QDockWidget* dock = dockOf(pane)) {
        dock->setVisible(true);
        dock->raise();
        pane->setPaneVisible(true);
    }
}

void KvPaneMgr::hidePane(const QString& className) {
    KvPane* pane = findPane(className);
    if (QDockWidget* dock = dockOf(pane)) {
        dock->setVisible(false);
        pane->setPaneVisible(false);
    }
}

QList<KvPane*> KvPaneMgr::panes() const {
    QList<KvPane*> out;
    for (const auto& p : m_panes)
        if (p.first) out.append(p.first);
    return out;
}

KvMainWindow::KvMainWindow()
    : m_panes(new KvPaneMgr(this)), m_progress(new QProgressBar), m_cancel(new QToolButton) {
    setObjectName(QStringLiteral("KorvelMainWindow"));
    setWindowTitle(QStringLiteral("Korvel"));
    m_fileMenu = menuBar()->addMenu(tr("&File"));
    m_fileMenu->addAction(tr("&Open Figure..."), this, &KvMainWindow::openFigureDialog,
                          QKeySequence::Open);
    m_fileMenu->addAction(tr("&Import Pose..."), this, &KvMainWindow::importPoseDialog);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(tr("&Quit"), this, &QWidget::close, QKeySequence::Quit);
    m_editMenu = menuBar()->addMenu(tr("&Edit"));
    QAction* undoAction =
        m_editMenu->addAction(tr("&Undo"), this, &KvMainWindow::undo, QKeySequence::Undo);
    QAction* redoAction =
        m_editMenu->addAction(tr("&Redo"), this, &KvMainWindow::redo, QKeySequence::Redo);
    if (kvScene) {
        QUndoStack* stack = kvScene->undoStack();
        undoAction->setEnabled(stack->canUndo());
        redoAction->setEnabled(stack->canRedo());
        connect(stack, &QUndoStack::canUndoChanged, undoAction, &QAction::setEnabled);
        connect(stack, &QUndoStack::canRedoChanged, redoAction, &QAction::setEnabled);
        connect(stack, &QUndoStack::undoTextChanged, undoAction,
                [undoAction](const QString& t) { undoAction->setText(tr("&Undo %1").arg(t)); });
        connect(stack, &QUndoStack::redoTextChanged, redoAction,
                [redoAction](const QString& t) { redoAction->setText(tr("&Redo %1").arg(t)); });
    }
    menuBar()->addMenu(m_panes->paneMenu());
    m_progress->setMaximumWidth(200);
    m_progress->setVisible(false);
    statusBar()->addPermanentWidget(m_progress);
    m_cancel->setText(tr("Cancel"));
    m_cancel->setVisible(false);
    statusBar()->addPermanentWidget(m_cancel);
    if (kvApp) {
        kvApp->setInterface(this);
        connect(m_cancel, &QToolButton::clicked, kvApp, &KvApp::cancelProgress);
        connect(kvApp, &KvApp::statusChanged, this,
                [this](const QString& t) { statusBar()->showMessage(t); });
        connect(kvApp, &KvApp::progressChanged, this,
                [this](const QString& text, int value, int total) {
                    m_progress->setVisible(total > 0);
                    m_cancel->setVisible(total > 0 && kvApp->progressCanCancel());
                    m_progress->setRange(0, total > 0 ? total : 1);
                    m_progress->setValue(value);
                    if (total > 0)
                        statusBar()->showMessage(text);
                    else
                        statusBar()->clearMessage(); // the finished task's text goes with it
                });
    }
}

KvMainWindow::~KvMainWindow() {
    if (kvApp && kvApp->getInterface() == this) kvApp->setInterface(nullptr);
}

QMenu* KvMainWindow::optionsMenuFor(KvPane* pane) {
    if (!pane || !pane->hasOptionsMenu()) return nullptr;
    QMenu*& menu = m_optionMenus[pane];
    if (!menu) {
        menu = menuBar()->addMenu(pane->getTitle());
        KvActionMenu actionMenu(menu);
        pane->fillOptionsMenu(&actionMenu);
    }
    return menu;
}

bool KvMainWindow::doFileDialog(bool open, const QString& title, const QString& startPath,
                                const KvFileFilter& filter, QString& result) {
    QString reply;
    if (!KvDialogSeam::answer(open ? QStringLiteral("OpenFile") : QStringLiteral("SaveFile"), title,
                              startPath, &reply)) {
        reply = open ? QFileDialog::getOpenFileName(this, title, startPath, filter.toQtFilter())
                     : QFileDialog::getSaveFileName(this, title, startPath, filter.toQtFilter(),
                                                    nullptr, QFileDialog::DontConfirmOverwrite);
    }
    if (reply.isEmpty()) return false;
    result = reply;
    return true;
}

bool KvMainWindow::doAudioClipOpenDialog(const QString& startPath, QString& result) {
    KvFileFilter filter;
    filter.newFilter(tr("Sound files"));
    for (const char* e : {"wav", "aif", "aiff", "sph", "nist"})
        filter.addExtension(e);
    return doFileDialog(true, tr("Open Sound File"), startPath, filter, result);
}

bool KvMainWindow::checkExistingFile(const QString& path) {
    if (!QFileInfo::exists(path)) return true;
    QMessageBox box(QMessageBox::Question, tr("File exists"),
                    tr("The file\n%1\nalready exists. Do you want to replace it?").arg(path),
                    QMessageBox::NoButton, this);
    QAbstractButton* yes = box.addButton(tr("Replace"), QMessageBox::YesRole);
    box.addButton(tr("Cancel"), QMessageBox::NoRole);
    box.setEscapeButton(box.buttons().back());
    box.exec();
    return box.clickedButton() == yes;
}

void KvMainWindow::showError(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, this);
    box.addButton(tr("Ok"), QMessageBox::AcceptRole);
    box.exec();
}

bool KvMainWindow::openFigure(const QString& path) {
    if (kvApp->openFigure(path) == 0) {
        statusBar()->showMessage(tr("Opened %1").arg(path));
        return true;
    }
    showError(tr("Figure not opened"), kvApp->lastError());
    return false;
}

void KvMainWindow::openFigureDialog() {
    KvFileFilter filter;
    filter.newFilter(tr("Poser figures"));
    filter.addExtension(QStringLiteral("cr2"));
    QString path;
    if (doFileDialog(true, tr("Open Figure"), kvApp->getContentMgr()->getPoserDirectoryPath(),
                     filter, path))
        openFigure(path);
}

void KvMainWindow::importPoseDialog() {
    KvFileFilter filter;
    filter.newFilter(tr("Poser poses"));
    filter.addExtension(QStringLiteral("pz2"));
    QString path;
    if (!doFileDialog(true, tr("Import Pose"), kvApp->getContentMgr()->getPoserDirectoryPath(),
                      filter, path))
        return;
    KvImportMgr* import = kvApp->getImportMgr();
    KvUndoStackHold hold;
    const int code = import->readFile(path, -1);
    if (code != 0) {
        showError(tr("Pose not imported"), import->getErrorMessage(code));
        return;
    }
    hold.accept(tr("Import Pose"));
}

void KvMainWindow::undo() {
    if (kvScene) kvScene->undoStack()->undo();
}

void KvMainWindow::redo() {
    if (kvScene) kvScene->undoStack()->redo();
}
