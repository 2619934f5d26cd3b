#include "messagebox.h"

#include <QApplication>
#include <QMessageBox>

void showMessage(QWidget* parent, const QString& text, const QString& cause)
{
    int lifted = 0;
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++lifted;
    }
    QMessageBox box(QMessageBox::Information, QObject::tr("设置工具"), text, QMessageBox::Ok,
                    parent);
    box.setInformativeText(cause);
    box.exec();
    for (int i = 0; i < lifted; ++i)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    QApplication::restoreOverrideCursor();
}
