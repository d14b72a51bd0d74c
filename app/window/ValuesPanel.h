#pragma once

#include <QWidget>

#include <array>

class QLabel;
class results;
struct HarmonicResults;

// The plasma parameters of the displayed frame: a header "Value" and one row
// per parameter with its name, value (red), unit, relative error (green) and
// "[%]"; below them, under the header "Harmonic", the same for the values of
// the harmonic analysis, and a note with its fit's residual or why it gives no
// values.
class ValuesPanel : public QWidget
{
    Q_OBJECT

public:
    enum Row { kTeRow, JpRow, NiRow, LdRow, kTeHarmonicRow, IisHarmonicRow, NiHarmonicRow, SlopeHarmonicRow, RowCount };

    explicit ValuesPanel(QWidget* parent = nullptr);

    // Fills the rows from a results record and the harmonic analysis; the
    // Debye length is shown in micrometres, as its unit says.
    void showResults(const results& r, const HarmonicResults& harmonic);
    // Empties every value and error, and the note.
    void clear();

    QString valueText(Row row) const;
    QString errorText(Row row) const;
    QString harmonicNote() const;

    // A value in red with three significant digits; no digits for NaN.
    static QString formatValue(double value);
    // |error / value| in per cent, fixed with one decimal, in green; no digits
    // when the value is zero or either number is NaN.
    static QString formatRelativeError(double value, double error);

private:
    struct RowLabels
    {
        QLabel* value;
        QLabel* error;
    };
    std::array<RowLabels, RowCount> m_rows{};
    QLabel* m_harmonicNote = nullptr;
};
