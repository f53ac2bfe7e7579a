// RecordingPrompts: operator prompts for tests and unattended runs. Every message is recorded
// in order; questions are answered from a script (OK and "cancelled" when it runs dry).
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "console/OperatorPrompts.h"

class RecordingPrompts : public OperatorPrompts {
public:
    enum class Kind { Message, OkCancel, SavePath, OpenPath };

    struct Entry {
        Kind kind;
        QString text;
        QString caption;
    };

    void ShowMessage(const QString& text, const QString& caption = QString()) override;
    bool AskOkCancel(const QString& text, const QString& caption = QString()) override;
    QString AskSavePath(const QString& caption, const QString& suggestedName,
                        const QString& filter) override;
    QString AskOpenPath(const QString& caption, const QString& folder,
                        const QString& filter) override;

    void ScriptOkCancel(bool answer) { m_okCancelAnswers.push_back(answer); }
    void ScriptSavePath(const QString& path) { m_savePaths.push_back(path); }
    void ScriptOpenPath(const QString& path) { m_openPaths.push_back(path); }

    const std::vector<Entry>& Entries() const { return m_entries; }
    // The texts of the plain messages, in order.
    QStringList Messages() const;
    int CountOf(const QString& text) const;
    void Clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
    std::deque<bool> m_okCancelAnswers;
    std::deque<QString> m_savePaths;
    std::deque<QString> m_openPaths;
};
