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
    QStringList texts;
    QStringList causes; // the informative text beneath each
    QStringList titles;
    bool cursorOverBox = false; // an override cursor showed while a box was open

    MessageBoxCatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxCatcher::answer);
        m_timer.start(5);
    }
    void clear()
    {
        texts.clear();
        causes.clear();
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
        causes << box->informativeText();
        titles << box->windowTitle();
        cursorOverBox = cursorOverBox || QApplication::overrideCursor();
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    QTimer m_timer;
};
