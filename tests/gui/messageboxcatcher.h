#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

// Answers every modal message box with OK from a timer and records what it said, so a test can
// click a button whose handler blocks in QMessageBox::exec().
class MessageBoxCatcher : public QObject
{
public:
    MessageBoxCatcher()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] { answer(); });
        m_timer.start();
    }

    QStringList texts;
    QStringList titles;
    // True while a box was open, whether the wait cursor was showing over it.
    bool cursorOverBox = false;

    void clear()
    {
        texts.clear();
        titles.clear();
        cursorOverBox = false;
    }
    QString last() const { return texts.isEmpty() ? QString() : texts.last(); }

private:
    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        texts << box->text();
        titles << box->windowTitle();
        if (QApplication::overrideCursor())
            cursorOverBox = true;
        if (auto* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    QTimer m_timer;
};
