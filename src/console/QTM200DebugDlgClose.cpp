// Closing the window: Enter, Esc and the close box all end in done(), which asks first when
// readings would be lost; and the end of the session, when no one can be asked.
#include <QMetaObject>

#include "console/QTM200DebugDlg.h"

namespace {

const QString kMsgUnsaved =
    QStringLiteral(" -----< %1 readings are not saved. Save them before closing? >-----");

}  // namespace

void CQTM200DebugDlg::done(int result) {
    // The session ended already: nothing is left to ask about.
    if (m_bShutDown) {
        QDialog::done(result);
        return;
    }
    // One question at a time, and none while the Save it asked for is writing.
    if (m_bClosing) return;
    const std::size_t unsaved = m_unsaved.Unsaved(m_records.Count());
    if (unsaved == 0) {
        CloseNow(result);
        return;
    }
    m_bClosing = true;
    const OperatorPrompts::SaveChoice choice =
        m_prompts->AskSaveDiscardCancel(kMsgUnsaved.arg(unsaved));
    m_bClosing = false;
    if (m_bShutDown) return;  // the session ended while the question was open
    switch (choice) {
        case OperatorPrompts::SaveChoice::Cancel:
            return;
        case OperatorPrompts::SaveChoice::Discard:
            m_unsaved.LetGo(m_records.Count());
            CloseNow(result);
            return;
        case OperatorPrompts::SaveChoice::Save:
            break;
    }
    // Without a file chosen nothing changes.
    m_bClosing = SaveReadings([this, result](bool saved) {
        m_bClosing = false;
        // Queued: this runs inside the save's own report, and closing ends the save.
        if (saved) {
            QMetaObject::invokeMethod(
                this, [this, result] { CloseNow(result); }, Qt::QueuedConnection);
        }
    });
}

void CQTM200DebugDlg::CloseNow(int result) {
    Shutdown();
    QDialog::done(result);
}

void CQTM200DebugDlg::EndSession() {
    Shutdown();
}

void CQTM200DebugDlg::Shutdown() {
    if (m_bShutDown) return;
    m_bShutDown = true;
    // No worker may outlive the window, and the bus port (with its watch thread) is closed.
    m_bRunning = false;
    m_timer1.stop();
    m_timer3.stop();
    m_run->Finish();
    m_storagePoll->Join();
    FinishDataWork();
    FinishDetailedSave();
    m_link.CloseBusPort();
    m_link.CloseUsbPort();
}
