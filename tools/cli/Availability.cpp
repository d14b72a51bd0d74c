#include "Availability.h"

#include "orvelDevice.h"

#include <string>

namespace cli {

QString availabilityText(const device_item& item)
{
    std::string problem;
    switch (orvelDevice::lockStatus(item, problem)) {
    case DeviceLockStatus::Free:
        return QStringLiteral("available");
    case DeviceLockStatus::Held:
        return QStringLiteral("in use");
    case DeviceLockStatus::Inaccessible:
        break;
    }
    return QStringLiteral("unavailable: ") + QString::fromStdString(problem);
}

QString serialText(const device_item& item)
{
    return item.serial[0] ? QString::fromLatin1(item.serial) : QStringLiteral("(no serial)");
}

} // namespace cli
