#pragma once

#include <QString>

struct device_item;

namespace cli {

// What opening a listed device would meet at its device lock, as `sensors`
// lists it and `acquire` reports it: "available", "in use", or
// "unavailable: " and the reason its lock cannot be taken.
QString availabilityText(const device_item& item);

// The serial of a listed device, or "(no serial)".
QString serialText(const device_item& item);

} // namespace cli
