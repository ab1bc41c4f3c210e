#pragma once

#include <QString>

class QWidget;

// The application's title: the program file's name without its path and without everything from its
// first dot on, its first character in upper case and the others in lower case ("/usr/bin/oxlip" gives
// "Oxlip").
QString ApplicationTitle(const QString& programPath);

// The message with a full stop added when its last character sorts after ".".
QString MessageWithFullStop(const QString& message);

// Where an exception that no handler caught ends up: an error box captioned with the application's title.
void ShowDefaultErrorDialog(QWidget* parent, const QString& message);
