#pragma once

#include <QString>

// Number texts of the session file's analysis blocks: the shortest text that
// reads back as the same double, bit for bit (a negative zero keeps its sign).
QString shortestNumberText(double value);

// Reads a number written by shortestNumberText (or any shorter rounding of
// it); text that is not a number gives 0.
double parseNumberText(const QString& text);
