#pragma once

#include <QApplication>
#include <QCursor>
#include <QList>
#include <QString>
#include <QThread>

#include <algorithm>
#include <functional>

// Records the debug log while it lives, and runs actions when a line appears. The log lines
// mark the steps of a command (each exchange logs before it starts), so an action tied to a
// line can change the printer between two exchanges of one click.
class LogWatcher
{
public:
    struct Line
    {
        QtMsgType type;
        QString text;
        bool waitCursor; // the wait cursor was showing when the line was logged
    };
    QList<Line> lines;

    LogWatcher() : m_previous(qInstallMessageHandler(&LogWatcher::handle)) { s_current = this; }
    ~LogWatcher()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogWatcher(const LogWatcher&) = delete;
    LogWatcher& operator=(const LogWatcher&) = delete;

    void clear()
    {
        lines.clear();
        m_triggers.clear();
    }
    // Runs action once, on the first line that starts with prefix.
    void onFirst(const QString& prefix, std::function<void()> action)
    {
        m_triggers.append({prefix, std::move(action)});
    }
    bool contains(QtMsgType type, const QString& text) const
    {
        return std::any_of(lines.begin(), lines.end(), [&](const Line& line) {
            return line.type == type && line.text == text;
        });
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        LogWatcher* self = s_current;
        // The simulated printer runs on a thread of its own; only the window's lines are recorded.
        if (self && QThread::currentThread() == qApp->thread()) {
            const QCursor* cursor = QApplication::overrideCursor();
            self->lines.append({type, text, cursor && cursor->shape() == Qt::WaitCursor});
            for (int i = 0; i < self->m_triggers.size(); ++i) {
                if (text.startsWith(self->m_triggers[i].first)) {
                    self->m_triggers.takeAt(i).second();
                    break;
                }
            }
            // Debug lines are the record the tests read; anything louder still reaches the output,
            // but for the offscreen platform's remark on every message box.
            if (type == QtDebugMsg ||
                text.startsWith(QLatin1String("This plugin does not support")))
                return;
        }
        if (self && self->m_previous)
            self->m_previous(type, context, text);
    }

    static inline LogWatcher* s_current = nullptr;
    QtMessageHandler m_previous;
    QList<QPair<QString, std::function<void()>>> m_triggers;
};
