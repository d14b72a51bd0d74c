#pragma once

class orvelDevice;
struct ScanStart;

// Sends the sensor the mode frame of a scan start: "MA" with the scan count
// and integration time, or "MR" with the scan count, value and window. True
// when the frame was written.
bool sendModeFrame(orvelDevice& sensor, const ScanStart& start);
