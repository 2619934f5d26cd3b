#pragma once

class QWidget;

// Names the window's inputs for screen readers: an input without a label of its own (a label's
// buddy names it) takes the title of the group nearest to it; the Get and Set buttons, alike but
// for their group, are described by what they read or write. Texts in the installed language.
void nameForAccessibility(QWidget* window);
