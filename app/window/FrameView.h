#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

class DelayWrapper;
class LangmuirSettings;
class PositionWrapper;
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
    DelayWrapper* recordFrame = nullptr; // the wrapper holding `record`, whose IV curve it is
    bool averaged = false; // the data come from the position's averaged entry
    PositionWrapper* position = nullptr;
    int index = 0; // of the frame or averaged entry in its position
};

// The frame at position index p, scan index s, frame index d. With
// `preferAverages`, an averaged entry d of the position that carries a scan
// record is shown whatever scan is selected; otherwise (or without one) frame
// d of each band of scan group s, the record being the low band's.
FrameView selectFrame(measuredData& data, int p, int s, int d, bool preferAverages);

// Runs both analyses of the view's record (which it must have): the IV
// analysis, and the harmonic analysis of the averaged entry or of the
// low-band frame shown.
void analyseFrameView(const FrameView& view, const LangmuirSettings& settings);

// Number of frames a scan group offers for navigation: its low-band frames,
// since the values panel shows the low band's record. Zero for indexes that
// name nothing.
int frameCount(const measuredData& data, int p, int s);

// Quantities the trend view can plot: the parameters of the results record,
// by their label index, and the harmonic analysis' values beside them.
namespace trend {

constexpr int kTe = 2;
constexpr int Jp = 5;
constexpr int Ni = 6;
constexpr int Ld = 7;
constexpr int kTeHarmonic = 100;
constexpr int IisHarmonic = 101;
constexpr int NiHarmonic = 102;

// The quantity actually plotted: one of those above; any other gives kTe.
int plottedIndex(int index);

// Its label, as the axis and the title show it.
QString label(int index);

// The factor from the results record's unit to the displayed one: the Debye
// length is held in metres and shown in micrometres, as its label says.
double displayScale(int index);

// A session whose positions hold more than one time step was resolved in time:
// its trends run over the delay, the others' over the position.
bool overDelay(const measuredData& data);

// One point per time step (TimeSteps.h) of every position, in list order,
// whose record has been analysed and holds a number for the quantity: x the
// delay (µs) when overDelay, else the position (mm); y the value in display
// units. Nothing is analysed here.
QVector<QPointF> points(const measuredData& data, int index);

} // namespace trend
