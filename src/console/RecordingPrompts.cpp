#include "console/RecordingPrompts.h"

void RecordingPrompts::ShowMessage(const QString& text, const QString& caption) {
    m_entries.push_back({Kind::Message, text, caption});
}

bool RecordingPrompts::AskOkCancel(const QString& text, const QString& caption) {
    m_entries.push_back({Kind::OkCancel, text, caption});
    if (m_okCancelAnswers.empty()) return true;
    const bool answer = m_okCancelAnswers.front();
    m_okCancelAnswers.pop_front();
    return answer;
}

OperatorPrompts::SaveChoice RecordingPrompts::AskSaveDiscardCancel(const QString& text,
                                                                   const QString& caption,
                                                                   const QString& /*cancelLabel*/) {
    m_entries.push_back({Kind::SaveDiscardCancel, text, caption});
    if (m_saveChoices.empty()) return SaveChoice::Discard;
    const SaveChoice answer = m_saveChoices.front();
    m_saveChoices.pop_front();
    return answer;
}

QString RecordingPrompts::AskSavePath(const QString& caption, const QString& suggestedName,
                                      const QString& /*filter*/) {
    m_entries.push_back({Kind::SavePath, suggestedName, caption});
    if (m_savePaths.empty()) return QString();
    QString path = m_savePaths.front();
    m_savePaths.pop_front();
    return path;
}

QString RecordingPrompts::AskOpenPath(const QString& caption, const QString& folder,
                                      const QString& /*filter*/) {
    m_entries.push_back({Kind::OpenPath, folder, caption});
    if (m_openPaths.empty()) return QString();
    QString path = m_openPaths.front();
    m_openPaths.pop_front();
    return path;
}

QStringList RecordingPrompts::Messages() const {
    QStringList texts;
    for (const Entry& e : m_entries) {
        if (e.kind == Kind::Message) texts << e.text;
    }
    return texts;
}

int RecordingPrompts::CountOf(const QString& text) const {
    int n = 0;
    for (const Entry& e : m_entries) {
        if (e.text == text) ++n;
    }
    return n;
}
