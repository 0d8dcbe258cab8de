// Dialogs, and the one seam through which tests answer every modal dialog and message box.
#pragma once

#include <QDialog>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QListWidget;
class KvNode;

// When enabled, no dialog waits for a person: each takes the next queued answer (a button text,
// a file path, a node name; an empty answer cancels) or, with none queued, is cancelled. Every
// dialog met is recorded with its title and text.
class KvDialogSeam : public QObject {
    Q_OBJECT
public:
    struct Record {
        QString kind, title, text, answer;
    };

    static void setEnabled(bool on);
    static bool isEnabled();
    static void queueAnswer(const QString& answer);
    static int pendingAnswers();
    static QList<Record> records();
    static void clear();

    // For host dialogs: when enabled, records the dialog, sets answer and returns true.
    static bool answer(const QString& kind, const QString& title, const QString& text,
                       QString* answer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static KvDialogSeam& instance();
    void answerShown(QDialog* dialog);
    bool m_enabled = false;
    QStringList m_answers;
    QList<Record> m_records;
};

// File dialog filters: one named group of extensions each.
class KvFileFilter {
public:
    void newFilter(const QString& name);
    void addExtension(const QString& extension);
    // "Name (*.a *.b);;Other (*.c)"
    QString toQtFilter() const;

private:
    QList<QPair<QString, QStringList>> m_filters;
};

// Lets the user pick a node of the scene whose class inherits className.
class KvNodeDlg : public QDialog {
    Q_OBJECT
public:
    KvNodeDlg(QWidget* parent, KvNode* node, const QString& className, bool singleSelection,
              const QString& filter = QString());
    int exec() override;
    KvNode* getNode() const { return m_node; }

private:
    QList<KvNode*> candidates() const;
    QString m_className, m_filter;
    KvNode* m_node;
    QListWidget* m_list;
};
