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
