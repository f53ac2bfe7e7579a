// OperatorPrompts: how the window talks to the operator (messages, OK/Cancel and
// Save/Discard/Cancel questions and the save-path question), behind an interface so tests can
// record every message and answer from a script instead of showing modal boxes.
#pragma once

#include <QString>

class OperatorPrompts {
public:
    virtual ~OperatorPrompts() = default;

    // A modal message with an OK button. An empty caption means the program's default one.
    virtual void ShowMessage(const QString& text, const QString& caption = QString()) = 0;
    // True for OK, false for Cancel (or the box closed).
    virtual bool AskOkCancel(const QString& text, const QString& caption = QString()) = 0;

    enum class SaveChoice { Save, Discard, Cancel };
    // What to do with readings that would be lost. Cancel (also the box closed) leaves
    // everything as it is; cancelLabel, when given, names that button.
    virtual SaveChoice AskSaveDiscardCancel(const QString& text, const QString& caption = QString(),
                                            const QString& cancelLabel = QString()) = 0;
    // The chosen file path, or an empty string when the operator cancelled.
    virtual QString AskSavePath(const QString& caption, const QString& suggestedName,
                                const QString& filter) = 0;
    // The chosen existing file, or an empty string when the operator cancelled (and by
    // default, for prompts that offer no file choice).
    virtual QString AskOpenPath(const QString& /*caption*/, const QString& /*folder*/,
                                const QString& /*filter*/) {
        return QString();
    }
};
