#pragma once

#include <QPointF>
#include <QVector>

class DelayWrapper;
class measuredData;
struct ScanRecord;

// What the session window shows for one selected frame: the two band wrappers
// whose waveforms and IV curves are drawn, and the scan record that is
// analysed and fills the values panel. Any of them may be missing.
struct FrameView
{
    const DelayWrapper* low = nullptr;
    const DelayWrapper* high = nullptr;
    ScanRecord* record = nullptr;
    bool averaged = false; // the data come from the position's averaged entry
};

// The frame at position index p, scan index s, frame index d. With
// `preferAverages`, an averaged entry d of the position that carries a scan
// record is shown whatever scan is selected; otherwise (or without one) frame
// d of each band of scan group s, the record being the low band's.
FrameView selectFrame(measuredData& data, int p, int s, int d, bool preferAverages);

// Number of frames a scan group offers for navigation: its low-band frames,
// since the values panel shows the low band's record. Zero for indexes that
// name nothing.
int frameCount(const measuredData& data, int p, int s);

// Parameters the trend view can plot, by their label index in the results
// record.
namespace trend {

constexpr int kTe = 2;
constexpr int Jp = 5;
constexpr int Ni = 6;
constexpr int Ld = 7;

// The index actually plotted: one of the four above; any other gives kTe.
int plottedIndex(int labelIndex);

// The factor from the results record's unit to the displayed one: the Debye
// length is held in metres and shown in micrometres, as its label says.
double displayScale(int labelIndex);

// One point per averaged entry of every position, in list order, whose scan
// record holds a number for the parameter: x the position, y the value as the
// record holds it now (nothing is analysed), in display units.
QVector<QPointF> points(const measuredData& data, int labelIndex);

} // namespace trend
