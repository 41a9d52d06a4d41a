#include "core/ProductTable.h"

#include <array>

#include "sensors/SensorIMX990.h"
#include "sensors/SensorIMX992.h"

namespace korvix::core {
namespace {

constexpr uint8_t kSensorBusAddress = 0x48;

constexpr std::array<ProductEntry, 8> kProducts{{
    {0x3260, SensorFamily::Imx990, 109},
    {0x3270, SensorFamily::Imx990, 110},
    {0x3280, SensorFamily::Imx991, 111},
    {0x3290, SensorFamily::Imx991, 112},
    {0x3370, SensorFamily::Imx992, 129},
    {0x3380, SensorFamily::Imx992, 130},
    {0x33C0, SensorFamily::Imx993, 131},
    {0x33D0, SensorFamily::Imx993, 132},
}};

std::unique_ptr<sensors::CSensorBase> MakeDriver(SensorFamily family,
                                                 controller::CControllerBase *controller) {
    switch (family) {
        case SensorFamily::Imx990:
            return std::make_unique<sensors::CSensorIMX990>(controller, kSensorBusAddress);
        case SensorFamily::Imx991:
            return std::make_unique<sensors::CSensorIMX991>(controller, kSensorBusAddress);
        case SensorFamily::Imx992:
            return std::make_unique<sensors::CSensorIMX992>(controller, kSensorBusAddress);
        case SensorFamily::Imx993:
            return std::make_unique<sensors::CSensorIMX993>(controller, kSensorBusAddress);
        case SensorFamily::None:
            break;
    }
    return nullptr;
}

}  // namespace

const ProductEntry *FindProduct(int productCode) {
    for (const ProductEntry &entry : kProducts) {
        if (entry.productCode == productCode) return &entry;
    }
    return nullptr;
}

SensorFamily FamilyOfProduct(int productCode) {
    const ProductEntry *entry = FindProduct(productCode);
    return entry ? entry->family : SensorFamily::None;
}

bool IsImx990FamilyProduct(int productCode) {
    SensorFamily family = FamilyOfProduct(productCode);
    return family == SensorFamily::Imx990 || family == SensorFamily::Imx991;
}

bool IsImx99xProduct(int productCode) {
    return FindProduct(productCode) != nullptr;
}

std::unique_ptr<sensors::CSensorBase> CreateSensor(int productCode,
                                                   controller::CControllerBase *controller) {
    const ProductEntry *entry = FindProduct(productCode);
    if (!entry) return nullptr;
    std::unique_ptr<sensors::CSensorBase> sensor = MakeDriver(entry->family, controller);
    if (!sensor || !sensor->SetModelCode(entry->modelCode)) return nullptr;
    return sensor;
}

}  // namespace korvix::core
