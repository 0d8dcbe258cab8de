#include "kvdialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "kvscene.h"

KvDialogSeam& KvDialogSeam::instance() {
    static KvDialogSeam seam;
    return seam;
}

void KvDialogSeam::setEnabled(bool on) {
    KvDialogSeam& s = instance();
    if (on == s.m_enabled) return;
    s.m_enabled = on;
    if (!QCoreApplication::instance()) return;
    if (on)
        QCoreApplication::instance()->installEventFilter(&s);
    else
        QCoreApplication::instance()->removeEventFilter(&s);
}

bool KvDialogSeam::isEnabled() {
    return instance().m_enabled;
}

void KvDialogSeam::queueAnswer(const QString& answer) {
    instance().m_answers.append(answer);
}

int KvDialogSeam::pendingAnswers() {
    return instance().m_answers.size();
}

QList<KvDialogSeam::Record> KvDialogSeam::records() {
    return instance().m_records;
}

void KvDialogSeam::clear() {
    instance().m_answers.clear();
    instance().m_records.clear();
}

bool KvDialogSeam::answer(const QString& kind, const QString& title, const QString& text,
                          QString* answer) {
    KvDialogSeam& s = instance();
    if (!s.m_enabled) return false;
    *answer = s.m_answers.isEmpty() ? QString() : s.m_answers.takeFirst();
    s.m_records.append({kind, title, text, *answer});
    return true;
}

bool KvDialogSeam::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && m_enabled) {
        QDialog* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && dialog->isWindow() && !dialog->property("kvSeamSeen").toBool()) {
            dialog->setProperty("kvSeamSeen", true);
            QPointer<QDialog> guard(dialog);
            // Answer once the dialog's own event loop runs.
            QTimer::singleShot(0, this, [this, guard] {
                if (guard) answerShown(guard);
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

static QString plainText(const QString& buttonText) {
    QString t = buttonText;
    return t.remove(QLatin1Char('&'));
}

void KvDialogSeam::answerShown(QDialog* dialog) {
    const QString reply = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    QMessageBox* box = qobject_cast<QMessageBox*>(dialog);
    m_records.append({QString::fromLatin1(dialog->metaObject()->className()), dialog->windowTitle(),
                      box ? box->text() : QString(), reply});
    if (box) {
        for (QAbstractButton* b : box->buttons())
            if (!reply.isEmpty() && plainText(b->text()) == reply) {
                b->click();
                return;
            }
        if (QAbstractButton* escape = box->escapeButton()) {
            escape->click();
            return;
        }
        // A box with one button and no escape button still has to close.
        if (!box->buttons().isEmpty()) {
            box->buttons().back()->click();
            return;
        }
    }
    if (reply == QLatin1String("accept"))
        dialog->accept();
    else
        dialog->reject();
}

void KvFileFilter::newFilter(const QString& name) {
    m_filters.append({name, QStringList()});
}

void KvFileFilter::addExtension(const QString& extension) {
    if (m_filters.isEmpty()) newFilter(QStringLiteral("Files"));
    m_filters.back().second.append(extension);
}

QString KvFileFilter::toQtFilter() const {
    QStringList parts;
    for (const auto& f : m_filters) {
        QStringList patterns;
        for (const QString& e : f.second)
            patterns << QStringLiteral("*.") + e;
        parts << QStringLiteral("%1 (%2)").arg(f.first, patterns.join(QLatin1Char(' ')));
    }
    parts << QStringLiteral("All files (*)");
    return parts.join(QStringLiteral(";;"));
}

KvNodeDlg::KvNodeDlg(QWidget* parent, KvNode* node, const QString& className, bool,
                     const QString& filter)
    : QDialog(parent), m_className(className), m_filter(filter), m_node(node),
      m_list(new QListWidget(this)) {
    setWindowTitle(tr("Select a node"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (KvNode* n : candidates()) {
        m_list->addItem(n->getLabel());
        if (n == node) m_list->setCurrentRow(m_list->count() - 1);
    }
}

QList<KvNode*> KvNodeDlg::candidates() const {
    QList<KvNode*> out;
    if (!kvScene) return out;
    for (KvNode* n : kvScene->nodes()) {
        if (!n->inherits(m_className.toLatin1().constData())) continue;
        if (!m_filter.isEmpty() && !n->getName().contains(m_filter)) continue;
        out.append(n);
    }
    return out;
}

int KvNodeDlg::exec() {
    QString reply;
    const QList<KvNode*> nodes = candidates();
    if (KvDialogSeam::answer(QStringLiteral("KvNodeDlg"), windowTitle(), QString(), &reply)) {
        m_node = nullptr;
        for (KvNode* n : nodes)
            if (!reply.isEmpty() && (n->getName() == reply || n->getLabel() == reply)) m_node = n;
        return m_node ? Accepted : Rejected;
    }
    const int result = QDialog::exec();
    const int row = m_list->currentRow();
    m_node = (result == Accepted && row >= 0 && row < nodes.size()) ? nodes[row] : nullptr;
    return m_node ? result : Rejected;
}
