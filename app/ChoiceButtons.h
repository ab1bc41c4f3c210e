#pragma once

class QDialog;
class QLayout;

// OK (the default button, Enter) and Abbrechen (Escape), in the captions of the window's other dialogs.
QLayout* MakeChoiceButtons(QDialog* dialog);
