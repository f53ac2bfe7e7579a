#include "console/QtOperatorPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

const QString QtOperatorPrompts::kDefaultCaption = QStringLiteral("QTM200Debug");

namespace {

// A box that waits for the operator must not wear the busy cursor of the meter work that
// raised it (a failed port open reports from inside that work).
class OperatorCursor {
public:
    OperatorCursor() : m_pushed(QApplication::overrideCursor() != nullptr) {
        // Only over a busy cursor: otherwise every widget keeps its own (text fields their
        // I-beam).
        if (m_pushed) QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~OperatorCursor() {
        if (m_pushed) QApplication::restoreOverrideCursor();
    }
    OperatorCursor(const OperatorCursor&) = delete;
    OperatorCursor& operator=(const OperatorCursor&) = delete;

private:
    bool m_pushed;
};

}  // namespace

QtOperatorPrompts::QtOperatorPrompts(QWidget* owner) : m_owner(owner) {}

int QtOperatorPrompts::Run(int buttons, int dismissAs, const QString& text, const QString& caption,
                           const QString& cancelLabel) {
    QMessageBox box(m_owner);
    box.setWindowTitle(caption.isEmpty() ? kDefaultCaption : caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setStandardButtons(static_cast<QMessageBox::StandardButtons>(buttons));
    box.setDefaultButton((buttons & QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::Save);
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel); cancel && !cancelLabel.isEmpty())
        cancel->setText(cancelLabel);
    if (m_autoDismissMs >= 0) {
        QPointer<QMessageBox> guard(&box);
        QTimer::singleShot(m_autoDismissMs, &box, [guard, dismissAs] {
            if (guard) guard->done(dismissAs);
        });
    }
    OperatorCursor cursor;
    return box.exec();
}

void QtOperatorPrompts::ShowMessage(const QString& text, const QString& caption) {
    Run(QMessageBox::Ok, QMessageBox::Ok, text, caption);
}

bool QtOperatorPrompts::AskOkCancel(const QString& text, const QString& caption) {
    return Run(QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, text, caption) ==
           QMessageBox::Ok;
}

OperatorPrompts::SaveChoice QtOperatorPrompts::AskSaveDiscardCancel(const QString& text,
                                                                    const QString& caption,
                                                                    const QString& cancelLabel) {
    // Unattended, nothing is thrown away.
    switch (Run(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel,
                text, caption, cancelLabel)) {
        case QMessageBox::Save:
            return SaveChoice::Save;
        case QMessageBox::Discard:
            return SaveChoice::Discard;
        default:
            return SaveChoice::Cancel;
    }
}

QString QtOperatorPrompts::AskSavePath(const QString& caption, const QString& suggestedName,
                                       const QString& filter) {
    OperatorCursor cursor;
    return QFileDialog::getSaveFileName(m_owner, caption, suggestedName, filter);
}

QString QtOperatorPrompts::AskOpenPath(const QString& caption, const QString& folder,
                                       const QString& filter) {
    OperatorCursor cursor;
    return QFileDialog::getOpenFileName(m_owner, caption, folder, filter);
}
