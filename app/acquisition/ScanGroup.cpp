#include "acquisition/ScanGroup.h"

ScanGroup::ScanGroup(const scanResult& frame, const QDateTime& filedAt)
    : scan(frame.scan)
{
    add(frame, filedAt);
}

void ScanGroup::add(const scanResult& frame, const QDateTime& filedAt)
{
    delays(bandOf(frame.freq)).append(DelayWrapper(frame, filedAt));
}

QVector<double> ScanGroup::component(int component, int index) const
{
    if (component < LowWaveFormI || component > HighIi)
        return {};
    // Components alternate between the bands in pairs (0-7) and in fours (8-15).
    const bool low = component < LowVR ? (component / 2) % 2 == 0 : component < HighVR;
    const QVector<DelayWrapper>& list = low ? Delays200 : Delays400;
    if (index < 0)
        index = Delays200.size() - 1;
    if (index < 0 || index >= list.size())
        return {};
    const DelayWrapper& w = list[index];
    switch (Component(component)) {
    case LowWaveFormI:
    case HighWaveFormI:
        return w.waveFormI();
    case LowWaveFormV:
    case HighWaveFormV:
        return w.waveFormV();
    case LowIvVoltage:
        return w.joined ? w.joinedVIx() : w.VIx();
    case LowIvCurrent:
        return w.joined ? w.joinedVIy() : w.VIy();
    case HighIvVoltage:
        return w.VIx();
    case HighIvCurrent:
        return w.VIy();
    case LowVR:
    case HighVR:
        return w.VR;
    case LowVi:
    case HighVi:
        return w.Vi;
    case LowIr:
    case HighIr:
        return w.Ir;
    case LowIi:
    case HighIi:
        return w.Ii;
    }
    return {};
}
