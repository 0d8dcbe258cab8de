#include "kvparlopane.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTextEdit>
#include <QTextStream>
#include <QToolButton>
#include <QVBoxLayout>

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
    const uint32_t stopped = VoxtrailShutdownLibrary();
    if (stopped != VOXTRAIL_NOERR && m_engineStarted) logEngineError("shutdown", stopped);
    if (m_audioClip) m_audioClip->release();
    m_audioClip = nullptr;
    qDeleteAll(m_phonemeWeights);
    qDeleteAll(m_gestureWeights);
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
    // Filled from the data folder's figure map when configuration files arrive.
    m_figureMap.clear();
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

void KvParloPane::soundFileRecord(bool) {
    // Recording arrives with its own change.
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
    // Figure configuration files arrive with their own change.
}

void KvParloPane::setConfigFile(QString fileName, bool updateLineEdit) {
    m_configPath = fileName;
    if (updateLineEdit) m_configField->setText(fileName);
}

void KvParloPane::selectionChanged(KvNode*) {}

void KvParloPane::analyzeClicked() {
    // The analysis run arrives with its own change.
}

void KvParloPane::launchParloProClicked() {
    // The Pro hand-off arrives with its own change.
}

void KvParloPane::backFromParlo() {}

bool KvParloPane::findParloPro(QString&) {
    return false;
}

bool KvParloPane::browseForParloPro(QString&) {
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
