#pragma once

struct AnalysisContext;
struct CurveResults;

// Fills the ion-current window of the context from the scan's unperturbed
// voltages and currents. Returns true when the window up to the electron
// reflect voltage was used, false when it fell back to the first two points.
bool computeIonWindow(AnalysisContext& context);

// First stage of a curve analysis: checks the context's curve and finds the
// floating potential Vf, the plasma potential Vp and the saturation voltage
// Vsat. Returns false, with the scan's error text set, when the curve cannot be
// analysed.
bool findPotentials(AnalysisContext& context, CurveResults& results);
