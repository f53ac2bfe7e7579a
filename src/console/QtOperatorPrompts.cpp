#include "console/QtOperatorPrompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

const QString QtOperatorPrompts::kDefaultCaption = QStringLiteral("QTM200Debug");

QtOperatorPrompts::QtOperatorPrompts(QWidget* owner) : m_owner(owner) {}

int QtOperatorPrompts::Run(int buttons, const QString& text, const QString& caption) {
    QMessageBox box(m_owner);
    box.setWindowTitle(caption.isEmpty() ? kDefaultCaption : caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setStandardButtons(static_cast<QMessageBox::StandardButtons>(buttons));
    box.setDefaultButton(QMessageBox::Ok);
    if (m_autoDismissMs >= 0) {
        QPointer<QMessageBox> guard(&box);
        QTimer::singleShot(m_autoDismissMs, &box, [guard] {
            if (guard) guard->done(QMessageBox::Ok);
        });
    }
    return box.exec();
}

void QtOperatorPrompts::ShowMessage(const QString& text, const QString& caption) {
    Run(QMessageBox::Ok, text, caption);
}

bool QtOperatorPrompts::AskOkCancel(const QString& text, const QString& caption) {
    return Run(QMessageBox::Ok | QMessageBox::Cancel, text, caption) == QMessageBox::Ok;
}

QString QtOperatorPrompts::AskSavePath(const QString& caption, const QString& suggestedName,
                                       const QString& filter) {
    return QFileDialog::getSaveFileName(m_owner, caption, suggestedName, filter);
}
