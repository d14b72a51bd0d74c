#pragma once

// The sensor reports every delay twice, once per excitation band. Frames below
// the split frequency form the low band ("Delays200"), the others the high band
// ("Delays400").
enum class Band { Low, High };

constexpr double bandSplitFrequency = 150000.0;

inline Band bandOf(double freq)
{
    return freq < bandSplitFrequency ? Band::Low : Band::High;
}

// Number of harmonic values a frame that declares `declared` of them really
// holds: the arrays have 16 entries, and a count compared as unsigned (so a
// negative one) is taken as 16.
inline int usableHarmonics(int declared)
{
    return unsigned(declared) <= 16u ? declared : 16;
}
