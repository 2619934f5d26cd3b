#pragma once

#include <QString>

class QWidget;

// The one kind of message every window shows: an information box parented to the window,
// title "设置工具", one OK button. The text comes translated (context "QObject") from the caller,
// so that lupdate sees every literal where it is used.
// cause, when given, goes beneath the text as the box's informative text: why it failed.
void showMessage(QWidget* parent, const QString& text, const QString& cause = QString());

// Shows the wait cursor while a handler talks to the printer, which blocks the window for up to
// seconds. Restored on every path out; showMessage lifts it while its box is open.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
