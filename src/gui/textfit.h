#pragma once

#include <QString>

#include <initializer_list>
#include <utility>

class QComboBox;
class QLineEdit;
class QWidget;

// The forms place their widgets at fixed positions sized for the Chinese texts, so another
// language or font cuts texts off. Each time the window is first shown and after its language
// changes, a label, button or box whose text does not fit is widened (a free-standing label
// wraps instead, where that lets it fit); what stands to its right or below moves by as much,
// and its group and the window grow by as much. Masked edits are made wide enough for their
// longest value, as are the edits named in longest, whose form has no mask to tell it. Inputs
// get names and buttons descriptions for screen readers (accessibilitytext.h).
void keepTextFitting(QWidget* window,
                     std::initializer_list<std::pair<QLineEdit*, QString>> longest = {});

// For a box whose items have any length: it shows its current text cut in the middle when
// needed, and whole in its tooltip; keepTextFitting leaves its width alone.
void elideCurrentText(QComboBox* box);
