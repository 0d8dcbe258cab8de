#include "kvparlopane.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QStorageInfo>
#include <QStyle>
#include <QTextEdit>
#include <QTextStream>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "kvparlohandoff.h"
#include "kvparlokeys.h"
#include "kvparloplatform.h"
#include "kvparlorecorder.h"
#include "phoneme_data.h"
#include "voxtrail.h"

namespace {

const int kUnset = 2147483647;

QString problemText() {
    return KvParloPane::tr("Parlo encountered a problem. \nSee the log file for details.");
}

QString engineMessage(uint32_t code) {
    char buffer[256] = {0};
    VoxtrailGetErrorString(code, sizeof buffer, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return QString::fromLocal8Bit(buffer);
}

// Sets a widget's object name and registers it for online help.
template <class W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    if (kvApp) kvApp->getHelpMgr()->setOnlineHelp(widget);
    return widget;
}

} // namespace

QString KvParloPane::pluginFolder() {
    return (kvApp ? kvApp->getPluginsPath() : QString()) + QStringLiteral("/KvParlo/");
}
QString KvParloPane::dataFolder() {
    return pluginFolder() + QStringLiteral("Data/");
}
QString KvParloPane::configurationFolder() {
    return pluginFolder() + QStringLiteral("Configuration_Files/");
}
QString KvParloPane::sampleSoundsFolder() {
    return pluginFolder() + QStringLiteral("Evaluation_Sounds/");
}

void KvParloPane::warning(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton,
                    kvApp ? kvApp->getDialogParent() : nullptr);
    box.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
    box.exec();
}

void KvParloPane::showProblemBox() {
    warning(tr("KvParlo Error"), problemText());
}

void KvParloPane::logEngineError(const char* what, uint32_t code) {
    if (kvApp)
        kvApp->log(QStringLiteral("Parlo Voxtrail %1 error: %2")
                       .arg(QLatin1String(what), engineMessage(code)));
    showProblemBox();
}

KvParloPane::KvParloPane(QWidget* parent)
    : KvPane(QStringLiteral("Lip Sync"), parent), m_keyedRange(kUnset, kUnset) {
    setObjectName(QStringLiteral("KvParloPane"));
    const int m = QApplication::style()->pixelMetric(QStyle::PM_CustomBase, nullptr, nullptr);

    auto* paneLayout = new QVBoxLayout(this);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = named(new QScrollArea(this), "ParloPaneScrollView");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMinimumSize(245, 160);
    paneLayout->addWidget(scroll);

    QWidget* contents = named(new QWidget, "ParloPaneScrollViewContents");
    auto* layout = new QVBoxLayout(contents);
    layout->setContentsMargins(2 * m, 2 * m, 2 * m, 2 * m);
    layout->setSpacing(2 * m);

    // Load, Listen and Record in one row; the title names the loaded file.
    m_soundGroup = named(new QGroupBox(tr("Sound File: "), contents), "ParloSoundFileButtonGroup");
    m_soundButtons = new QButtonGroup(m_soundGroup);
    m_soundButtons->setExclusive(false);
    auto* soundRow = new QHBoxLayout(m_soundGroup);
    soundRow->setContentsMargins(4 * m, 4 * m, 4 * m, 4 * m);
    soundRow->setSpacing(2 * m);
    auto* load =
        named(new QPushButton(QStringLiteral("Load"), m_soundGroup), "ParloLoadSoundButton");
    auto* listen =
        named(new QPushButton(QStringLiteral("Listen"), m_soundGroup), "ParloSoundFilePlayButton");
    m_recordButton = named(new QPushButton(QStringLiteral("Record"), m_soundGroup),
                           "ParloSoundFileRecordButton");
    m_recordButton->setCheckable(true);
    for (QPushButton* b : {load, listen, m_recordButton}) {
        m_soundButtons->addButton(b);
        soundRow->addWidget(b);
    }
    connect(load, SIGNAL(clicked()), this, SLOT(soundFileBrowse()));
    connect(listen, SIGNAL(clicked()), this, SLOT(soundFilePlay()));
    connect(m_recordButton, SIGNAL(toggled(bool)), this, SLOT(soundFileRecord(bool)));
    layout->addWidget(m_soundGroup);

    auto* analyze = named(new QPushButton(tr("Analyze"), contents), "ParloPaneAnalyzeButton");
    connect(analyze, SIGNAL(clicked()), this, SLOT(analyzeClicked()));
    layout->addWidget(analyze);
    auto* launch =
        named(new QPushButton(tr("Launch Parlo Pro"), contents), "ParloPaneLaunchParloButton");
    connect(launch, SIGNAL(clicked()), this, SLOT(launchParloProClicked()));
    layout->addWidget(launch);
    auto* timeline =
        named(new QPushButton(tr("Open Timeline"), contents), "ParloOpenTimelineButton");
    connect(timeline, SIGNAL(clicked()), this, SLOT(openTimelineButtonClicked()));
    connect(this, SIGNAL(timelineInvisible(bool)), timeline, SLOT(setEnabled(bool)));
    layout->addWidget(timeline);

    auto* switchRow = new QHBoxLayout;
    switchRow->setSpacing(2 * m);
    m_switcher = named(new QToolButton(contents), "ParloAdvancedModeSwitcher");
    m_switcher->setCheckable(true);
    m_switcher->setChecked(false);
    m_switcher->setFixedSize(20, 20);
    switchRow->addWidget(m_switcher);
    switchRow->addWidget(
        named(new QLabel(QStringLiteral("Details"), contents), "ParloAdvancedModeLabel"));
    switchRow->addStretch();
    layout->addLayout(switchRow);

    QWidget* details = named(new QWidget(contents), "ParloAdvancedVBox");
    auto* detailsLayout = new QVBoxLayout(details);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->setSpacing(2 * m);
    connect(m_switcher, SIGNAL(toggled(bool)), details, SLOT(setVisible(bool)));

    auto fieldRow = [&](const char* labelName, const QString& label, const char* editName,
                        const char* buttonName, int labelSpacing, const char* slot) {
        auto* labelRow = new QHBoxLayout;
        labelRow->setSpacing(labelSpacing);
        labelRow->addWidget(named(new QLabel(label, details), labelName));
        detailsLayout->addLayout(labelRow);
        auto* row = new QHBoxLayout;
        row->setSpacing(2 * m);
        auto* edit = named(new QLineEdit(details), editName);
        auto* browse = named(new QPushButton(QStringLiteral("..."), details), buttonName);
        connect(browse, SIGNAL(clicked()), this, slot);
        row->addWidget(edit);
        row->addWidget(browse);
        detailsLayout->addLayout(row);
        return edit;
    };
    m_soundField = fieldRow("ParloPaneSoundFileLabel", tr("Sound File"), "ParloPaneSoundFileEdit",
                            "ParloSoundFileBrowseButton", 2 * m, SLOT(soundFileBrowse()));
    m_textFileField = fieldRow("ParloPaneTextFileLabel", tr("Text File"), "ParloPaneTextFileEdit",
                               "ParloTextFileBrowseButton", 0, SLOT(textFileBrowse()));
    m_transcriptBox = named(new QTextEdit(details), "ParloPaneTextEdit");
    m_transcriptBox->setMaximumHeight(65);
    m_transcriptBox->setAcceptRichText(false);
    detailsLayout->addWidget(m_transcriptBox);
    m_configField =
        fieldRow("ParloPaneConfigFileLabel", tr("Configuration File"), "ParloPaneConfigFileEdit",
                 "ParloConfigFileBrowseButton", 2 * m, SLOT(configFileBrowse()));
    details->setVisible(false);
    layout->addWidget(details);
    layout->addWidget(named(new QWidget(contents), "ParloPaneSpacer"), 100);
    scroll->setWidget(contents);

    // The pane is usable without the engine; analysis then reports the engine's own error.
    const uint32_t started = VoxtrailStartupLibrary(QFile::encodeName(dataFolder()).constData());
    m_engineStarted = started == VOXTRAIL_NOERR;
    if (!m_engineStarted) logEngineError("initialization", started);

    readFigureMap();

    m_recordingDevice = -1;
    if (kvScene) connect(kvScene, SIGNAL(nodeRemoved(KvNode*)), this, SLOT(nodeRemoved(KvNode*)));
    setMinimumSize(245, 160);
    updateSwitcherIcon();

    KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
    if (window && window->getPaneMgr())
        if (KvPane* timelinePane = window->getPaneMgr()->findPane(QStringLiteral("KvTimePane")))
            connect(timelinePane, SIGNAL(visibilityChanged(bool)), this,
                    SLOT(timelineChanged(bool)));
}

KvParloPane::~KvParloPane() {
    if (m_recordingDevice != -1) recorder("close");
    const uint32_t stopped = VoxtrailShutdownLibrary();
    if (stopped != VOXTRAIL_NOERR && m_engineStarted) logEngineError("shutdown", stopped);
    if (m_audioClip) m_audioClip->release();
    m_audioClip = nullptr;
}

QSize KvParloPane::sizeHint() const {
    return minimumSize();
}

void KvParloPane::fillOptionsMenu(KvActionMenu* menu) {
    menu->insertAction(QStringLiteral("KvBrowseForParloProAction"), -1);
}

void KvParloPane::changeEvent(QEvent* event) {
    if (event->type() == QEvent::StyleChange) updateSwitcherIcon();
    KvPane::changeEvent(event);
}

void KvParloPane::updateSwitcherIcon() {
    QStyle* s = QApplication::style();
    const auto off = static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + 16);
    const auto on = static_cast<QStyle::StandardPixmap>(QStyle::SP_CustomBase + 18);
    QIcon icon;
    icon.addPixmap(s->standardIcon(off).pixmap(16, 16), QIcon::Normal, QIcon::Off);
    icon.addPixmap(s->standardIcon(on).pixmap(16, 16), QIcon::Normal, QIcon::On);
    m_switcher->setIcon(icon);
}

void KvParloPane::readFigureMap() {
    m_figureMap.clear();
    const QString path = dataFolder() + QStringLiteral("CR22LSC.ini");
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        warning(tr("KvParlo Error"),
                tr("KvParlo Error: There was an error reading the CR2 to LSC map file: \n%1\n"
                   "Configuration files will not be found automatically.")
                    .arg(path));
        return;
    }
    m_figureMap = KvParloConfig::readFigureMap(&file, configurationFolder());
}

QString KvParloPane::findConfigurationForFigure(KvSkeleton* figure) {
    if (const KvDataItem* item = figure->findDataItem(QStringLiteral("SourceFileData"))) {
        const QString source = item->getValueAsText();
        QString key = KvParloConfig::figureMapKey(source);
        if (!key.isEmpty() && m_figureMap.contains(key)) return m_figureMap.value(key);
        QFile file(source);
        if (file.open(QIODevice::ReadOnly)) {
            key = KvParloConfig::geometryMapKey(&file);
            if (!key.isEmpty() && m_figureMap.contains(key)) return m_figureMap.value(key);
        }
    }
    QMessageBox box(QMessageBox::Question, tr("Configuration file not found"),
                    tr("No configuration file was found for the current figure. Do you want to "
                       "browse for one, or use the default?"),
                    QMessageBox::NoButton, kvApp ? kvApp->getDialogParent() : nullptr);
    QPushButton* browse = box.addButton(tr("Browse"), QMessageBox::AcceptRole);
    QPushButton* useDefault = box.addButton(tr("Use Default"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(browse);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == browse) {
        configFileBrowse();
        return m_configField->text();
    }
    if (box.clickedButton() == useDefault)
        return configurationFolder() + QStringLiteral("default.lsc");
    return QString();
}

int KvParloPane::readConfigurationFile(const QString& path) {
    m_config.reset();
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        warning(tr("Error opening LSC file"),
                tr("There was an error opening the configuration file: \n%1").arg(path));
        return ParloFileNotOpened;
    }
    KvParloConfig::readConfiguration(&file, &m_config);
    return ParloSuccess;
}

int KvParloPane::writeEngineConfiguration(const QString& path) {
    QFile file(path);
    const QByteArray text = KvParloConfig::engineConfiguration(m_config);
    // A short write (a full disk) fails like a file that does not open.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() ||
        !file.flush()) {
        warning(tr("Error writing configuration file"),
                tr("There was an error writing the configuration file: \n%1").arg(path));
        return ParloFileNotOpened;
    }
    return ParloSuccess;
}

void KvParloPane::removeOldLipSync() {
    KvParloKeys::removeLipSync(m_lipSynchedFigure ? m_lipSynchedFigure->getSkeleton() : nullptr,
                               m_config, m_keyedRange);
}

void KvParloPane::writePhonemeData(const QString& path, VOXTRAIL_ANALYSIS* analysis) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        kvApp->log(QStringLiteral("Parlo Voxtrail Raw Phoneme Data Error: Can't open file"));
        return;
    }
    std::vector<std::string> problems;
    const std::string text = Vantrix::FormatPhonemeData(analysis, &problems);
    for (const std::string& line : problems)
        kvApp->log(QString::fromLocal8Bit(line.c_str()));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

void KvParloPane::nodeRemoved(KvNode* node) {
    if (node && node == m_lipSynchedFigure) m_lipSynchedFigure = nullptr;
    // The Pro figure must not dangle either, though the hand-off keeps it only while it runs.
    if (node && node == m_proFigure) m_proFigure = nullptr;
}

void KvParloPane::soundFileBrowse() {
    KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
    if (!window) return;
    QString start = m_soundField->text();
    if (start.isEmpty()) start = sampleSoundsFolder();
    QString chosen;
    if (window->doAudioClipOpenDialog(start, chosen)) setSoundFile(chosen);
}

void KvParloPane::setSoundFile(QString path) {
    if (path.isEmpty()) {
        if (m_audioClip) m_audioClip->release();
        m_audioClip = nullptr;
        m_soundPath.clear();
        m_soundField->clear();
        m_soundGroup->setTitle(tr("Sound File: "));
        setTextFile(QString());
        return;
    }
    auto* clip = new KvWinAudioClip;
    clip->addRef();
    if (kvApp->getMultiMediaMgr()->importAudioClip(path, clip, -1) != 0) {
        warning(tr("Error opening audio file"),
                tr("There was an error opening the sound file: \n%1").arg(path));
        clip->release();
        return;
    }
    if (m_audioClip) m_audioClip->release();
    m_audioClip = clip;
    m_soundPath = path;
    m_soundField->setText(path);
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    m_soundGroup->setTitle(tr("Sound File: ") + fileName);
    // The transcript sits beside the sound under the same name; only the file name's own dot
    // counts, so a dot in a folder name never cuts the path.
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return;
    const QString candidate =
        path.left(path.size() - fileName.size() + dot) + QStringLiteral(".txt");
    if (QFileInfo::exists(candidate)) setTextFile(candidate);
}

void KvParloPane::soundFilePlay() {
    if (!m_audioClip) return;
    m_audioClip->pause();
    m_audioClip->reset();
    m_audioClip->play();
}

void KvParloPane::soundFileStop() {
    if (!m_audioClip) return;
    m_audioClip->pause();
    m_audioClip->reset();
}

void KvParloPane::setRecordingDevice(QObject* device) {
    if (m_recorder && m_recorder->parent() == this) delete m_recorder;
    m_recorder = device;
}

bool KvParloPane::recorder(const char* operation, const QString& path) {
    if (!m_recorder) m_recorder = new KvParloAudioInputDevice(this);
    bool ok = false;
    const bool called =
        path.isNull() ? QMetaObject::invokeMethod(m_recorder, operation, Q_RETURN_ARG(bool, ok))
                      : QMetaObject::invokeMethod(m_recorder, operation, Q_RETURN_ARG(bool, ok),
                                                  Q_ARG(QString, path));
    return called && ok;
}

void KvParloPane::soundFileRecord(bool onOff) {
    if (onOff) {
        m_recordButton->setText(QStringLiteral("Stop"));
        KvApp::setBusyCursor();
        if (!recorder("open")) {
            // Nothing records, so nothing is busy.
            KvApp::clearBusyCursor();
            warning(tr("Error Initializing Record"),
                    tr("There was an error while initializing the recording session."));
            return;
        }
        m_recordingDevice = 0;
        setSoundFile(QString());
        if (!recorder("record")) {
            recorder("close");
            m_recordingDevice = -1;
            KvApp::clearBusyCursor();
            warning(tr("Error Starting Record"),
                    tr("There was an error while starting the recording session."));
        }
        return;
    }

    m_recordButton->setText(QStringLiteral("Record"));
    if (m_recordingDevice == -1) return;
    KvApp::clearBusyCursor();
    if (!recorder("stop")) {
        recorder("close");
        m_recordingDevice = -1;
        warning(tr("Error Stoping Record"),
                tr("There was an error while stoping the recording session."));
        return;
    }
    if (KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr) {
        KvFileFilter filter;
        filter.newFilter(tr("WAV Format"));
        filter.addExtension(QStringLiteral("wav"));
        QString start = sampleSoundsFolder() + QStringLiteral("RecordedAudio.wav");
        QString chosen;
        bool accepted = false;
        while (window->doFileDialog(false, tr("Save recorded audio"), start, filter, chosen)) {
            if ((accepted = window->checkExistingFile(chosen))) break;
            start = chosen;
        }
        if (accepted) {
            if (recorder("save", chosen))
                setSoundFile(chosen);
            else
                warning(tr("Error Finishing Record"),
                        tr("There was an error while finishing the recording session."));
        }
    }
    recorder("close");
    m_recordingDevice = -1;
}

void KvParloPane::textFileBrowse() {
    KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
    if (!window) return;
    QString start = m_textFileField->text();
    if (start.isEmpty()) start = m_soundField->text();
    if (start.isEmpty()) start = sampleSoundsFolder();
    KvFileFilter filter;
    filter.newFilter(tr("Text files"));
    filter.addExtension(QStringLiteral("txt"));
    QString chosen;
    if (window->doFileDialog(true, tr("Open Text File"), start, filter, chosen))
        setTextFile(chosen);
}

void KvParloPane::setTextFile(QString fileName) {
    m_textFileField->setText(fileName);
    if (fileName.isEmpty()) {
        m_transcriptBox->clear();
        return;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        warning(tr("Error opening text file"),
                tr("There was an error opening the text file: \n%1").arg(fileName));
        return;
    }
    QTextStream in(&file);
    m_transcriptBox->setPlainText(in.readAll());
}

void KvParloPane::configFileBrowse() {
    KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
    if (!window) return;
    QString start = m_configField->text();
    if (start.isEmpty()) start = configurationFolder();
    KvFileFilter filter;
    filter.newFilter(tr("Parlo Configuration files"));
    filter.addExtension(QStringLiteral("lsc"));
    QString chosen;
    if (window->doFileDialog(true, tr("Open Configuration File"), start, filter, chosen))
        setConfigFile(chosen);
}

void KvParloPane::setConfigFile(QString fileName, bool updateLineEdit) {
    m_configPath = fileName;
    if (updateLineEdit) m_configField->setText(fileName);
}

void KvParloPane::selectionChanged(KvNode*) {}

void KvParloPane::analyzeClicked() {
    if (!kvApp || !kvScene) return;
    kvApp->startProgress(tr("Analyzing Audio"), 1000, false, false);
    // A run that stops half-way puts the figure, and what the pane knows of it, back as it was.
    KvNode* const figureBefore = m_lipSynchedFigure;
    const KvParloFigureConfig configBefore = m_config;
    const KvTimeRange rangeBefore = m_keyedRange;
    KvUndoStackHold hold;
    if (runAnalysis()) {
        kvApp->stepProgress(200);
        hold.accept(QStringLiteral("Lip Sync Analysis"));
    } else {
        hold.revert();
        m_lipSynchedFigure = figureBefore;
        m_config = configBefore;
        m_keyedRange = rangeBefore;
    }
    kvApp->finishProgress();
}

KvSkeleton* KvParloPane::selectedFigure(const QString& dialogTitle) {
    auto figureOf = [](KvNode* node) -> KvSkeleton* {
        KvSkeleton* skeleton = node ? node->getSkeleton() : nullptr;
        return skeleton && skeleton->inherits("KvSkeleton") ? skeleton : nullptr;
    };
    KvNode* selected = kvScene->getPrimarySelection();
    if (KvSkeleton* figure = figureOf(selected)) return figure;
    KvNodeDlg dialog(kvApp->getDialogParent(), selected ? selected->getSkeleton() : nullptr,
                     QStringLiteral("KvSkeleton"), true);
    dialog.setWindowTitle(dialogTitle);
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    return figureOf(dialog.getNode());
}

KvSkeleton* KvParloPane::figureToLipSync() {
    return selectedFigure(tr("Select a figure which will be lip-synched"));
}

bool KvParloPane::settlePreviousLipSync(KvSkeleton* figure) {
    if (!m_lipSynchedFigure) return true;
    if (m_lipSynchedFigure->getSkeleton() == figure) {
        removeOldLipSync();
        return true;
    }
    QMessageBox box(QMessageBox::Question, tr("Remove old Lip-sync?"),
                    tr("You are applying lip-synching to a character when another character "
                       "has already been lip-synched.\nDo you want to remove the animation "
                       "for the old sound from the other character, or keep it?"),
                    QMessageBox::NoButton, kvApp->getDialogParent());
    QPushButton* remove = box.addButton(tr("Remove"), QMessageBox::AcceptRole);
    QPushButton* keep = box.addButton(tr("Keep"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(remove);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == remove) removeOldLipSync();
    return box.clickedButton() == remove || box.clickedButton() == keep;
}

bool KvParloPane::runAnalysis() {
    KvSkeleton* figure = figureToLipSync();
    if (!figure) return false;

    if (!settlePreviousLipSync(figure)) return false;
    m_lipSynchedFigure = figure;
    kvApp->stepProgress(200);

    if (!m_audioClip) {
        warning(tr("No audio file"), tr("You need to specify an audio file."));
        return false;
    }

    if (m_configField->text().isEmpty()) {
        const QString found = findConfigurationForFigure(figure);
        if (found.isEmpty()) return false;
        if (!QFileInfo::exists(found)) {
            warning(tr("Configuration File Error"),
                    tr("The configuration file: \n%1\ndoes not exist").arg(found));
            return false;
        }
        m_configPath = found;
    } else {
        setConfigFile(m_configField->text());
    }

    if (readConfigurationFile(m_configPath) != ParloSuccess) return false;
    const QString engineConfig = kvApp->getTempPath() + QStringLiteral("/ParloVoxtrailConfig.ini");
    if (writeEngineConfiguration(engineConfig) != ParloSuccess) return false;
    kvApp->stepProgress(200);

    m_soundStart = kvScene->getTime();
    const QByteArray sound = QFile::encodeName(m_soundPath);
    const QByteArray transcript = m_transcriptBox->toPlainText().toLocal8Bit();
    const QByteArray configFile = QFile::encodeName(engineConfig);
    VOXTRAIL_ANALYSIS_SETTINGS settings;
    // The record's own size: the engine refuses any other, whatever the pointer width.
    settings.size = static_cast<int32_t>(sizeof(VOXTRAIL_ANALYSIS_SETTINGS));
    settings.framesPerSecond = KvScene::kTicksPerSecond / std::max(1, kvScene->getTimeStep());
    settings.fastFlag = 0;
    settings.randomSeed = -1;
    settings.configFile = configFile.constData();
    VOXTRAIL_ANALYSIS* analysis = nullptr;
    uint32_t code =
        VoxtrailGetAnalysis(&analysis, sound.constData(), transcript.constData(), &settings);
    if (code != VOXTRAIL_NOERR) {
        kvApp->log(QStringLiteral("Parlo Voxtrail analysis error: %1").arg(engineMessage(code)));
        showProblemBox();
        return false;
    }

    kvApp->stepProgress(200);
    const KvParloKeys::ApplyResult applied =
        KvParloKeys::applyAnalysis(analysis, figure, m_config, m_soundStart);
    if (applied.code != 0) {
        VoxtrailFreeAnalysis(&analysis);
        warning(tr("Analysis Error"), tr("There was an error applying the lip-sync analysis. \n"
                                         "See log file for details."));
        return false;
    }
    m_keyedRange = applied.keyedRange;
    if (applied.queryFailed) showProblemBox();
    if (applied.missing.size() > 5) {
        QMessageBox box(QMessageBox::Information, tr("KvParlo Info"),
                        tr("Some channels defined in the current configuration file could not be\n"
                           "found on the figure. Lip-synching may not be as accurate as expected.\n"
                           "See the log file for details."),
                        QMessageBox::NoButton, kvApp->getDialogParent());
        box.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
        box.exec();
    }

    writePhonemeData(KvFileIO::getFilePath(m_soundPath) + QLatin1Char('/') +
                         KvFileIO::getBaseFileName(m_soundPath) +
                         QStringLiteral("_PhonemeData.txt"),
                     analysis);

    code = VoxtrailFreeAnalysis(&analysis);
    if (code != VOXTRAIL_NOERR) {
        kvApp->log(
            QStringLiteral("Parlo Voxtrail analysis cleanup error: %1").arg(engineMessage(code)));
        showProblemBox();
        return false;
    }

    m_soundStart = kvScene->getTime();
    if (m_audioClip) {
        const int step = std::max(1, kvScene->getTimeStep());
        kvScene->setAudio(m_audioClip, m_soundStart / step);
        m_soundEnd = m_audioClip->getLength() + m_soundStart;
        const KvTimeRange anim = kvScene->getAnimRange();
        if (anim.getEnd() < m_soundEnd)
            kvScene->setAnimRange(KvTimeRange(anim.getStart(), m_soundEnd));
        const KvTimeRange play = kvScene->getPlayRange();
        if (play.getEnd() < m_soundEnd)
            kvScene->setPlayRange(KvTimeRange(play.getStart(), m_soundEnd));
    }
    return true;
}

void KvParloPane::launchParloProClicked() {
    if (!kvApp || !kvScene) return;
    KvSkeleton* figure = selectedFigure(tr("Select a figure to load in Parlo Pro"));
    if (!figure) return;
    m_proFigure = figure;
    QString proPath;
    if (!findParloPro(proPath)) return;

    QString figureFile;
    if (const KvDataItem* item = figure->findDataItem(QStringLiteral("SourceFileData"))) {
        figureFile = item->getValueAsText();
    } else {
        QMessageBox box(QMessageBox::Question, tr("Figure not found"),
                        tr("A CR2 file for the current figure could not be found.\nDo you want to "
                           "manually choose a CR2 figure file to load in Parlo Pro?"),
                        QMessageBox::NoButton, kvApp->getDialogParent());
        QPushButton* ok = box.addButton(tr("Ok"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(cancel);
        box.exec();
        KvMainWindow* window = kvApp->getInterface();
        if (box.clickedButton() != ok || !window) return;
        KvFileFilter filter;
        filter.newFilter(tr("Poser CR2 File"));
        filter.addExtension(QStringLiteral("cr2"));
        if (!window->doFileDialog(true, tr("Choose a CR2 figure file to load in Parlo Pro"),
                                  kvApp->getContentMgr()->getPoserDirectoryPath(), filter,
                                  figureFile) ||
            !QFileInfo::exists(figureFile))
            return;
    }

    m_transferPath = kvApp->getTempPath() + QStringLiteral("/ParloTransferAnim.pz2");
    // A transfer file left by an earlier run must not pass for this run's answer.
    QFile::remove(m_transferPath);
    const QString configuration = m_configField->text().isEmpty()
                                      ? findConfigurationForFigure(figure)
                                      : m_configField->text();
    QString transcript;
    if (!m_transcriptBox->toPlainText().isEmpty()) {
        const QString path = kvApp->getTempPath() + QStringLiteral("/LipSyncSoundText.txt");
        QFile file(path);
        const QByteArray text = m_transcriptBox->toPlainText().toLocal8Bit();
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(text) == text.size() && file.flush())
            transcript = path;
    } else {
        transcript = m_textFileField->text();
    }

    auto* process = new QProcess(this);
    m_proProcess = process;
    connect(process, SIGNAL(finished(int, QProcess::ExitStatus)), this, SLOT(backFromParlo()));
    connect(process, SIGNAL(finished(int, QProcess::ExitStatus)), process, SLOT(deleteLater()));
    process->setStandardInputFile(QProcess::nullDevice());
    process->start(proPath, KvParloHandoff::arguments(figureFile, m_transferPath, configuration,
                                                      m_soundPath, transcript));
    if (!process->waitForStarted()) {
        process->deleteLater();
        warning(tr("Launch Error"), tr("There was an error launching Parlo."));
    }
}

void KvParloPane::backFromParlo() {
    if (!kvApp || !kvScene || m_transferPath.isEmpty() || !QFileInfo::exists(m_transferPath))
        return;
    KvSkeleton* figure = m_proFigure ? m_proFigure->getSkeleton() : nullptr;
    if (!figure) return;
    KvApp::setBusyCursor();
    if (kvScene->getPrimarySelection() != figure) {
        kvScene->selectAllNodes(false);
        kvScene->setPrimarySelection(figure);
    }
    // The removal and the import are one step, so a failed import leaves everything as it was.
    KvNode* const figureBefore = m_lipSynchedFigure;
    const KvParloFigureConfig configBefore = m_config;
    const KvTimeRange rangeBefore = m_keyedRange;
    KvUndoStackHold hold;
    const bool hadLipSync = m_lipSynchedFigure != nullptr;
    if (!settlePreviousLipSync(figure)) {
        hold.revert();
        KvApp::clearBusyCursor();
        return;
    }
    m_lipSynchedFigure = figure;

    QFile transfer(m_transferPath);
    KvParloHandoff::TransferScan scan;
    if (transfer.open(QIODevice::ReadOnly))
        scan = KvParloHandoff::scanTransferFile(&transfer, figure);
    m_config.speechChannels = scan.channels;
    m_config.gestureChannels.clear();
    // The import puts frame f at f time steps, whatever the scene's time.
    const qint64 step = kvScene->getTimeStep();
    m_keyedRange.setEnds(static_cast<int>(std::min<qint64>(step * scan.firstFrame, INT_MAX)),
                         static_cast<int>(std::min<qint64>(step * scan.lastFrame, INT_MAX)));

    // A file that keys none of the figure's channels would only take the old lip-sync away.
    const int code =
        scan.channels.isEmpty() ? -1 : kvApp->getImportMgr()->readFile(m_transferPath, -1);
    if (code != 0) {
        hold.revert();
        m_lipSynchedFigure = figureBefore;
        m_config = configBefore;
        m_keyedRange = rangeBefore;
        KvApp::clearBusyCursor();
        const QString cause = code == -1 ? tr("%1 keys no channel of the figure \"%2\".")
                                               .arg(m_transferPath, figure->getLabel())
                                         : kvApp->getImportMgr()->getErrorMessage(code);
        warning(tr("Parlo Error"),
                tr("There was an error importing data from Parlo: %1").arg(cause));
        return;
    }
    hold.accept(hadLipSync ? QStringLiteral("Removing of Previous Lip Sync")
                           : QStringLiteral("Parlo Pro Animation"));
    KvApp::clearBusyCursor();
}

bool KvParloPane::findParloPro(QString& parloProPath) {
    KvAppSettings settings(QStringLiteral("LipSync"));
    const QString exe = KvParloPlatform::proExecutable();
    QString found = settings.getStringValue(QStringLiteral("ParloProPath"));
    if (found.isEmpty() || !QFileInfo(found).isFile()) {
        found = KvParloPlatform::proDefaultFolder(QDir::rootPath(), pluginFolder()) + exe;
        if (!QFileInfo(found).isFile() && !searchVolumesForParloPro(&found)) found.clear();
    }
    if (found.isEmpty()) {
        QMessageBox box(QMessageBox::Information, tr("Parlo Pro Not Found"),
                        tr("The Parlo Pro application could not be found.\n\nIf you already have "
                           "Parlo Pro, find your \ninstallation using the browse button below.\n\n"
                           "If you don't have Parlo Pro yet, click the \n\"Learn More\" button to "
                           "see what you're missing."),
                        QMessageBox::NoButton, kvApp->getDialogParent());
        QPushButton* learn = box.addButton(tr("Learn More"), QMessageBox::YesRole);
        QPushButton* browse = box.addButton(tr("Browse for Parlo Pro"), QMessageBox::NoRole);
        QPushButton* cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(learn);
        box.setEscapeButton(cancel);
        box.setIconPixmap(QPixmap::fromImage(QImage(QStringLiteral(":/KvParlo/parloPromo"))));
        box.exec();
        if (box.clickedButton() == learn) kvApp->showURL(KvParloPlatform::proProductPage());
        if (box.clickedButton() != browse || !browseForParloPro(found)) return false;
    }
    settings.setStringValue(QStringLiteral("ParloProPath"), found);
    parloProPath = found;
    return true;
}

bool KvParloPane::searchVolumesForParloPro(QString* path) {
    // Local disks only: network and pseudo file systems are not searched.
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
#ifndef Q_OS_WIN
        if (!volume.device().startsWith("/dev/")) continue;
#endif
        const QString folder =
            volume.rootPath() + QLatin1Char('/') + KvParloPlatform::proSearchedFolder();
        if (QFileInfo(folder).isDir() && !roots.contains(QDir::cleanPath(folder)))
            roots << QDir::cleanPath(folder);
    }
    kvApp->startProgress(tr("Searching for Parlo Pro Application"), roots.size() * 100000, true,
                         true);
    bool hit = false;
    for (const QString& root : roots) {
        hit = KvParloHandoff::findInFolder(root, KvParloPlatform::proExecutable(), path,
                                           tr("Find Parlo in"), 100000, 4, 0);
        if (hit || kvApp->progressIsCancelled()) break;
    }
    kvApp->finishProgress();
    return hit;
}

bool KvParloPane::browseForParloPro(QString& parloProPath) {
    KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
    if (!window) return false;
    const QString exe = KvParloPlatform::proExecutable();
    KvFileFilter filter;
    filter.newFilter(exe);
    filter.addExtension(QFileInfo(exe).suffix().isEmpty() ? QStringLiteral("*")
                                                          : QFileInfo(exe).suffix());
    QString start = KvParloPlatform::proBrowseStart();
    QString chosen;
    while (window->doFileDialog(true, tr("Please locate the Parlo 3 Pro application"), start,
                                filter, chosen)) {
        const QFileInfo info(chosen);
        // A folder or a file that cannot run is as wrong as another program.
        if (info.isFile() && info.isExecutable() && chosen.endsWith(exe)) {
            parloProPath = chosen;
            return true;
        }
        warning(tr("Wrong Application Chosen"),
                tr("You must choose the \"%1\" application.").arg(exe));
        start = chosen;
    }
    return false;
}

void KvParloPane::recordIdle() {}

void KvParloPane::openTimelineButtonClicked() {
    KvMainWindow* window = kvApp ? kvApp->getInterface() : nullptr;
    if (window && window->getPaneMgr()) {
        KvPaneMgr* panes = window->getPaneMgr();
        if (panes->findPane(QStringLiteral("KvTimePane")))
            panes->showPane(QStringLiteral("KvTimePane"));
    }
    emit timelineInvisible(false);
}

void KvParloPane::timelineChanged(bool onOff) {
    emit timelineInvisible(!onOff);
}
