// The host's main window: menus, docked panes and the file dialogs plug-ins use.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>

class QDockWidget;
class QMenu;
class QProgressBar;
class QToolButton;
class KvFileFilter;
class KvPane;

class KvPaneMgr : public QObject {
    Q_OBJECT
public:
    explicit KvPaneMgr(QMainWindow* window);
    void addPane(KvPane* pane, Qt::DockWidgetArea area, bool visible);
    // The pane whose class is className, or null.
    KvPane* findPane(const QString& className) const;
    void showPane(const QString& className);
    void hidePane(const QString& className);
    QList<KvPane*> panes() const;
    QMenu* paneMenu() const { return m_menu; }
    QDockWidget* dockOf(const KvPane* pane) const;

private:
    QMainWindow* m_window;
    QMenu* m_menu;
    QList<QPair<QPointer<KvPane>, QDockWidget*>> m_panes;
};

class KvMainWindow : public QMainWindow {
    Q_OBJECT
public:
    KvMainWindow();
    ~KvMainWindow() override;

    KvPaneMgr* getPaneMgr() { return m_panes; }

    // True when the user chose a file, which is then in result.
    bool doFileDialog(bool open, const QString& title, const QString& startPath,
                      const KvFileFilter& filter, QString& result);
    bool doAudioClipOpenDialog(const QString& startPath, QString& result);
    // False when path exists and the user declines to overwrite it.
    bool checkExistingFile(const QString& path);

    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* optionsMenuFor(KvPane* pane);

public slots:
    bool openFigure(const QString& path);
    void openFigureDialog();
    void importPoseDialog();
    void undo();
    void redo();

private:
    void showError(const QString& title, const QString& text);
    KvPaneMgr* m_panes;
    QMenu* m_fileMenu;
    QMenu* m_editMenu;
    QProgressBar* m_progress;
    QToolButton* m_cancel;
    QMap<KvPane*, QMenu*> m_optionMenus;
};
