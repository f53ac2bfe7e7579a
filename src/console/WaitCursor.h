// WaitCursor: shows the busy cursor for the lifetime of the object, so blocking meter work on
// the window's thread tells the operator to wait and the cursor always comes back.
#pragma once

#include <QApplication>
#include <QCursor>

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
