// QtOperatorPrompts: the operator prompts as modal QMessageBox and QFileDialog windows owned
// by the main window.
#pragma once

#include "console/OperatorPrompts.h"

class QWidget;

class QtOperatorPrompts : public OperatorPrompts {
public:
    // The caption every message box without one of its own carries.
    static const QString kDefaultCaption;

    explicit QtOperatorPrompts(QWidget* owner);

    void ShowMessage(const QString& text, const QString& caption = QString()) override;
    bool AskOkCancel(const QString& text, const QString& caption = QString()) override;
    SaveChoice AskSaveDiscardCancel(const QString& text, const QString& caption = QString(),
                                    const QString& cancelLabel = QString()) override;
    QString AskSavePath(const QString& caption, const QString& suggestedName,
                        const QString& filter) override;
    QString AskOpenPath(const QString& caption, const QString& folder,
                        const QString& filter) override;

    // For unattended runs (screenshots): message boxes close themselves after ms
    // milliseconds, as if OK had been pressed. A negative value waits for the operator.
    void SetAutoDismiss(int ms) { m_autoDismissMs = ms; }

private:
    // dismissAs: the button an unattended box is closed with.
    int Run(int buttons, int dismissAs, const QString& text, const QString& caption,
            const QString& cancelLabel = QString());

    QWidget* m_owner;
    int m_autoDismissMs = -1;
};
