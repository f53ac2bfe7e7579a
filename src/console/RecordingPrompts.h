// RecordingPrompts: operator prompts for tests and unattended runs. Every message is recorded
// in order; questions are answered from a script (OK, Discard and "cancelled" when it runs
// dry, so a test that does not care about the question closes the window as before).
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "console/OperatorPrompts.h"

class RecordingPrompts : public OperatorPrompts {
public:
    enum class Kind { Message, OkCancel, SaveDiscardCancel, SavePath, OpenPath };

    struct Entry {
        Kind kind;
        QString text;
        QString caption;
    };

    void ShowMessage(const QString& text, const QString& caption = QString()) override;
    bool AskOkCancel(const QString& text, const QString& caption = QString()) override;
    SaveChoice AskSaveDiscardCancel(const QString& text, const QString& caption = QString(),
                                    const QString& cancelLabel = QString()) override;
    QString AskSavePath(const QString& caption, const QString& suggestedName,
                        const QString& filter) override;
    QString AskOpenPath(const QString& caption, const QString& folder,
                        const QString& filter) override;

    void ScriptOkCancel(bool answer) { m_okCancelAnswers.push_back(answer); }
    void ScriptSaveChoice(SaveChoice answer) { m_saveChoices.push_back(answer); }
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
    std::deque<SaveChoice> m_saveChoices;
    std::deque<QString> m_savePaths;
    std::deque<QString> m_openPaths;
};
