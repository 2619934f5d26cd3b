#include "textfit.h"

#include "accessibilitytext.h"

#include <QAbstractButton>
#include <QBasicTimer>
#include <QComboBox>
#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOption>
#include <QStylePainter>
#include <QTimerEvent>
#include <QToolButton>

namespace {

const char ElidedProperty[] = "rpsElided";

bool laidOut(const QWidget* w)
{
    const QLayout* layout = w->parentWidget() ? w->parentWidget()->layout() : nullptr;
    return layout && layout->indexOf(const_cast<QWidget*>(w)) >= 0;
}

// How many pixels the widest text a widget must show lacks in the rectangle its style draws
// that text in; 0 when it fits, or when the widget shows no text it is sized for.
int missingWidth(QWidget* w, const QHash<QLineEdit*, QString>& longest)
{
    QStyle* style = w->style();
    const QFontMetrics metrics = w->fontMetrics();
    QStringList texts;
    QRect room;
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->wordWrap() || label->textFormat() == Qt::RichText)
            return 0;
        texts << label->text();
        room = label->contentsRect();
    } else if (auto* box = qobject_cast<QComboBox*>(w)) {
        if (box->property(ElidedProperty).toBool())
            return 0;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = box->isEditable();
        option.frame = box->hasFrame();
        // The style draws the current item one pixel in from either side of the field.
        room = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, w)
                   .adjusted(1, 0, -1, 0);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QString value = longest.value(edit);
        if (!edit->inputMask().isEmpty()) {
            // The address masks take digits only; every place filled is the longest value.
            value = edit->inputMask().section(';', 0, 0);
            value.replace(QRegularExpression(QStringLiteral("[09]")), QStringLiteral("8"));
        }
        // Free text scrolls, but a longer language's labels must not squeeze it to a few
        // letters: it keeps room for a dozen, about what the forms give it in Chinese.
        if (value.isEmpty())
            value = QString(12, QLatin1Char('x'));
        // The edit keeps two pixels either side of its text, and room for the cursor after it.
        texts << value + QLatin1Char(' ');
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth =
            edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, w) : 0;
        room = style->subElementRect(QStyle::SE_LineEditContents, &option, w)
                   .marginsRemoved(edit->textMargins())
                   .adjusted(2, 0, -2, 0);
    } else if (qobject_cast<QToolButton*>(w)) {
        // A tool bar's buttons take the size their texts ask for.
        return 0;
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        texts << button->text();
        QStyleOptionButton option;
        option.initFrom(button);
        const auto element = qobject_cast<QPushButton*>(w)    ? QStyle::SE_PushButtonContents
                             : qobject_cast<QRadioButton*>(w) ? QStyle::SE_RadioButtonContents
                                                              : QStyle::SE_CheckBoxContents;
        room = style->subElementRect(element, &option, w);
    }
    int widest = 0;
    for (const QString& text : texts)
        widest = qMax(widest, metrics.horizontalAdvance(text));
    return qMax(0, widest - room.width());
}

// The height a free-standing label needs to show its text wrapped at its width, or 0 when a
// word is wider than the label, so wrapping cannot make it fit.
int wrappedHeight(QLabel* label)
{
    const QRect room = label->contentsRect();
    const QRect used = label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 10000),
                                                         Qt::TextWordWrap, label->text());
    if (used.width() > room.width())
        return 0;
    return label->height() - room.height() + used.height();
}

// Whether b stands to the right of a in the same row (across) or below it in the same column.
// The forms let neighbours share a border pixel.
bool beyond(const QRect& a, const QRect& b, bool across)
{
    if (across)
        return b.left() >= a.right() && b.top() <= a.bottom() && b.bottom() >= a.top();
    return b.top() >= a.bottom() && b.left() <= a.right() && b.right() >= a.left();
}

QList<QWidget*> placedChildren(const QWidget* parent)
{
    QList<QWidget*> placed;
    for (QWidget* child : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && !laidOut(child))
            placed << child;
    return placed;
}

int grownLimit(int limit, int by)
{
    return limit >= QWIDGETSIZE_MAX || limit == 0 ? limit : limit + by;
}

void activateLayouts(QWidget* window)
{
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->layout())
            w->layout()->activate();
}

class TextFit : public QObject
{
public:
    TextFit(QWidget* window, const QHash<QLineEdit*, QString>& longest)
        : QObject(window), m_window(window), m_longest(longest)
    {
        window->installEventFilter(this);
        nameForAccessibility(window);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Show && !m_fitted)
            fit();
        // After the window's own handling, which may have put the new texts in place.
        else if (watched == m_window && event->type() == QEvent::LanguageChange && m_fitted)
            m_refit.start(0, this);
        return false;
    }

    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() != m_refit.timerId())
            return QObject::timerEvent(event);
        m_refit.stop();
        fit();
    }

private:
    struct Form
    {
        QRect geometry;
        QSize minimum, maximum;
        bool wordWrap;
    };

    // Every fit starts from the form, so that a language fits as if it had been the first.
    void restoreForm()
    {
        QList<QWidget*> all = m_window->findChildren<QWidget*>();
        all << m_window;
        const bool first = m_form.isEmpty();
        for (QWidget* w : all) {
            // Popups and message boxes keep their own geometry.
            if (w->window() != m_window)
                continue;
            auto* label = qobject_cast<QLabel*>(w);
            if (first)
                m_form.insert(w, {w->geometry(), w->minimumSize(), w->maximumSize(),
                                  label && label->wordWrap()});
            const auto it = m_form.constFind(w);
            if (first || it == m_form.cend())
                continue;
            w->setMinimumSize(it->minimum);
            w->setMaximumSize(it->maximum);
            if (label)
                label->setWordWrap(it->wordWrap);
            if (w == m_window)
                w->resize(it->geometry.size());
            else if (!laidOut(w))
                w->setGeometry(it->geometry);
        }
    }

    void fit()
    {
        m_fitted = true;
        restoreForm();
        nameForAccessibility(m_window);
        // Each step only widens or moves away, so the loop ends; the bound guards a style that
        // reports a room that never grows.
        for (int step = 0; step < 200; ++step) {
            activateLayouts(m_window);
            QWidget* cut = nullptr;
            int missing = 0;
            for (QWidget* w : m_window->findChildren<QWidget*>()) {
                if (!w->isWindow() && w->isVisibleTo(m_window) &&
                    (missing = missingWidth(w, m_longest)) > 0) {
                    cut = w;
                    break;
                }
            }
            if (!cut)
                return;
            auto* label = qobject_cast<QLabel*>(cut);
            if (laidOut(cut)) {
                // Its layout must not squeeze it again, nor push another out of the row.
                cut->setMinimumWidth(cut->width() + missing);
                QWidget* row = cut->parentWidget();
                grow(row, {qMax(missing, row->layout()->minimumSize().width() - row->width()), 0});
            } else if (label && wrappedHeight(label) > 0) {
                label->setWordWrap(true);
                grow(label, {0, qMax(0, wrappedHeight(label) - label->height())});
            } else {
                grow(cut, {missing, 0});
            }
        }
    }

    QRect formGeometry(const QWidget* w) const
    {
        return m_form.value(const_cast<QWidget*>(w)).geometry;
    }

    void grow(QWidget* w, QSize by)
    {
        if (by.width() <= 0 && by.height() <= 0)
            return;
        if (w->isWindow()) {
            // A window the form fixed in size, or bounded, keeps its limits as far away.
            w->setMinimumSize(grownLimit(w->minimumWidth(), by.width()),
                              grownLimit(w->minimumHeight(), by.height()));
            w->setMaximumSize(grownLimit(w->maximumWidth(), by.width()),
                              grownLimit(w->maximumHeight(), by.height()));
            w->resize(w->size() + by);
        } else if (laidOut(w)) {
            // The central widget: its window's layout hands on what the window grows by.
            grow(w->parentWidget(), by);
        } else {
            w->resize(w->size() + by);
            makeRoom(w);
        }
    }

    // Moves what stands to the right of w in its row, or below it in its column, so that each
    // keeps the distance from w the form gave it; then lets the parent hold them all.
    void makeRoom(QWidget* w)
    {
        QWidget* parent = w->parentWidget();
        const QRect placed = formGeometry(w);
        for (QWidget* sibling : placedChildren(parent)) {
            const QRect other = formGeometry(sibling);
            QPoint by;
            if (sibling != w && beyond(placed, other, true))
                by.rx() = w->geometry().right() + other.left() - placed.right() - sibling->x();
            if (sibling != w && beyond(placed, other, false))
                by.ry() = w->geometry().bottom() + other.top() - placed.bottom() - sibling->y();
            by = {qMax(0, by.x()), qMax(0, by.y())};
            if (!by.isNull()) {
                sibling->move(sibling->pos() + by);
                makeRoom(sibling);
            }
        }
        holdChildren(parent);
    }

    // Grows parent only where its contents come nearer its far edge than the form keeps them
    // from its near edge (or from the far one, where that is nearer).
    void holdChildren(QWidget* parent)
    {
        QPoint reach, formReach, inset(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        for (const QWidget* child : placedChildren(parent)) {
            const QRect placed = formGeometry(child);
            reach = {qMax(reach.x(), child->geometry().right()),
                     qMax(reach.y(), child->geometry().bottom())};
            formReach = {qMax(formReach.x(), placed.right()), qMax(formReach.y(), placed.bottom())};
            inset = {qMin(inset.x(), placed.left()), qMin(inset.y(), placed.top())};
        }
        const QSize form = formGeometry(parent).size();
        const QSize margin(qMax(0, qMin(inset.x(), form.width() - 1 - formReach.x())),
                           qMax(0, qMin(inset.y(), form.height() - 1 - formReach.y())));
        const QSize needed = QSize(reach.x() + 1, reach.y() + 1) + margin;
        grow(parent, (needed - parent->size()).expandedTo(QSize(0, 0)));
    }

    QWidget* m_window;
    QHash<QLineEdit*, QString> m_longest;
    QHash<QWidget*, Form> m_form;
    bool m_fitted = false;
    QBasicTimer m_refit; // fits again once the window has taken its new texts
};

// The selector's texts end in the port number that tells two printers apart ("RP80 Printer
// USB001"), so the last word stays whole and the words before it give way.
QString elided(const QString& text, const QFontMetrics& metrics, int width)
{
    const int last = text.lastIndexOf(QLatin1Char(' '));
    const QString tail = text.mid(qMax(0, last));
    if (last <= 0 || metrics.horizontalAdvance(tail) >= width)
        return metrics.elidedText(text, Qt::ElideRight, width);
    return metrics.elidedText(text.left(last), Qt::ElideRight,
                              width - metrics.horizontalAdvance(tail)) +
           tail;
}

// Draws the box as it would, with its current text elided to the field.
class ElidingPainter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        auto* box = static_cast<QComboBox*>(watched);
        QStyleOptionComboBox option;
        const auto initStyleOption = &Access::initStyleOption;
        (box->*initStyleOption)(&option);
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, box);
        option.currentText = elided(option.currentText, box->fontMetrics(), field.width() - 2);
        QStylePainter painter(box);
        painter.setPen(box->palette().color(QPalette::Text));
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        return true;
    }

private:
    // initStyleOption is protected; naming it through a subclass gives its member pointer.
    struct Access : QComboBox
    {
        using QComboBox::initStyleOption;
    };
};

} // namespace

void keepTextFitting(QWidget* window, std::initializer_list<std::pair<QLineEdit*, QString>> longest)
{
    QHash<QLineEdit*, QString> values;
    for (const auto& entry : longest)
        values.insert(entry.first, entry.second);
    new TextFit(window, values);
}

void elideCurrentText(QComboBox* box)
{
    box->setProperty(ElidedProperty, true);
    box->installEventFilter(new ElidingPainter(box));
    QObject::connect(box, &QComboBox::currentTextChanged, box, &QWidget::setToolTip);
}
