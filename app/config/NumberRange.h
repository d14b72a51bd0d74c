#pragma once

#include <QString>

#include <limits>

// The values one setting may take: the range of the dialog field or panel
// control that sets it. A setting without a control may take any finite value.
// NaN lies in no range.
struct NumberRange
{
    double minimum = -std::numeric_limits<double>::max();
    double maximum = std::numeric_limits<double>::max();

    bool contains(double value) const { return value >= minimum && value <= maximum; }
    // The nearest value of the range; NaN stays NaN.
    double held(double value) const { return value < minimum ? minimum : value > maximum ? maximum : value; }
    bool isBounded() const { return *this != NumberRange(); }
    bool operator!=(const NumberRange& other) const { return minimum != other.minimum || maximum != other.maximum; }
    // "1e-06 to 0.01", or "any finite number" for a range without bounds.
    QString text() const;
};

// A number as a message shows it: whole numbers of up to ten digits in full
// (2147483647), others in their shortest form (1e-06, 7.5006e+11).
QString numberText(double value);
