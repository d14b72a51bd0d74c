#pragma once

class LangmuirSettings;
struct AnalysisContext;
struct CurveResults;
struct ScanRecord;

// Analyses the scan's IV curve and writes kTe, Je, Jp, Ni and the Debye length
// into its results record, with their errors when the scan averages two or
// more sweeps, and sets its error text (empty on success). Diagnostics go to
// the logging category "orvel.analysis" at debug level.
void analyse(ScanRecord& scan, const LangmuirSettings& settings);

// One curve analysis of the context's curve: the potentials, then the electron
// temperature, the ion current density, the ion density and the Debye length.
// Returns false, with the scan's error text set, on failure.
bool analyseCurve(AnalysisContext& context, CurveResults& results);
