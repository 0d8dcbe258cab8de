// The Lip Sync pane: sound, transcript and figure configuration, and the buttons that use them.
#pragma once

#include <QList>
#include <QMap>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

#include "kvparlo_host.h"
#include "kvparloconfig.h"
#include "voxtrail.h"

class QButtonGroup;
class QProcess;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QToolButton;
class QWidget;

class KvParloPane : public KvPane {
    Q_OBJECT
public:
    // Results of the pane's operations that can fail.
    enum ParloResult { ParloSuccess = 0, ParloAnalysisNotApplied = 98, ParloFileNotOpened = 516 };
    Q_ENUM(ParloResult)

    explicit KvParloPane(QWidget* parent = nullptr);
    ~KvParloPane() override;

    QSize sizeHint() const override;
    void fillOptionsMenu(KvActionMenu* menu) override;
    bool hasOptionsMenu() const override { return true; }

    // Folders under the host's plug-ins folder; each ends with "/".
    static QString pluginFolder();
    static QString dataFolder();
    static QString configurationFolder();
    static QString sampleSoundsFolder();

    // The warning box the pane's failures end in.
    static void showProblemBox();

signals:
    void timelineInvisible(bool invisible);

public slots:
    // Reachable from korvel's scripts as well as from the pane's buttons.
    void setSoundFile(QString path);
    void setTextFile(QString fileName);
    void setConfigFile(QString fileName, bool updateLineEdit = true);
    void analyzeClicked();
    // The device "Record" uses (the pane's own QtMultimedia one until another is given); the
    // caller keeps ownership of a device it gives.
    void setRecordingDevice(QObject* device);

private slots:
    void nodeRemoved(KvNode* node);
    void soundFileBrowse();
    void soundFilePlay();
    void soundFileStop();
    void soundFileRecord(bool onOff);
    void textFileBrowse();
    void configFileBrowse();
    void selectionChanged(KvNode* node);
    void launchParloProClicked();
    void backFromParlo();
    bool findParloPro(QString& parloProPath);
    bool browseForParloPro(QString& parloProPath);
    void recordIdle();
    void openTimelineButtonClicked();
    void timelineChanged(bool onOff);

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSwitcherIcon();
    void readFigureMap();
    // The steps of one "Analyze" inside the progress; true when it reached its end.
    bool runAnalysis();
    KvSkeleton* figureToLipSync();
    KvSkeleton* selectedFigure(const QString& dialogTitle);
    // Asks about another figure's lip-sync and removes it where wanted; false on "Cancel".
    bool settlePreviousLipSync(KvSkeleton* figure);
    bool searchVolumesForParloPro(QString* path);
    QString findConfigurationForFigure(KvSkeleton* figure);
    int readConfigurationFile(const QString& path);
    int writeEngineConfiguration(const QString& path);
    void removeOldLipSync();
    void writePhonemeData(const QString& path, VOXTRAIL_ANALYSIS* analysis);
    static void warning(const QString& title, const QString& text);
    void logEngineError(const char* what, uint32_t code);
    bool recorder(const char* operation, const QString& path = QString());

    friend class KvBrowseForParloProAction;
    friend class KvParloPaneProbe;

    QGroupBox* m_soundGroup;
    QLineEdit* m_soundField;
    QLineEdit* m_textFileField;
    QTextEdit* m_transcriptBox;
    QLineEdit* m_configField;
    QPushButton* m_recordButton;
    KvWinAudioClip* m_audioClip = nullptr;
    QString m_soundPath;
    QString m_configPath;
    // Channel lists and weight tables of the lip-synched figure's configuration.
    KvParloFigureConfig m_config;
    QMap<QString, QString> m_figureMap;
    KvNode* m_lipSynchedFigure = nullptr;
    KvNode* m_proFigure = nullptr;
    int m_soundStart = 0;
    int m_soundEnd = 0;
    KvTimeRange m_keyedRange;
    QString m_transferPath;
    QPointer<QProcess> m_proProcess;
    // 0 while a recording is open, -1 otherwise.
    int m_recordingDevice = -1;
    QPointer<QObject> m_recorder;
    // A failed start-up was reported once; its shut-down failure is not reported again.
    bool m_engineStarted = false;

    // Widgets the pane changes after construction.
    QButtonGroup* m_soundButtons;
    QToolButton* m_switcher;
};
