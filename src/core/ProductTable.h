#pragma once

#include <memory>

namespace korvix::controller {
class CControllerBase;
}
namespace korvix::sensors {
class CSensorBase;
}

namespace korvix::core {

// The sensor heads this build drives.
enum class SensorFamily { None, Imx990, Imx991, Imx992, Imx993 };

// One camera model: its USB product id, the head behind it and the model code its sensor
// driver is given (the second code of a head is the variant with a Peltier cooler).
struct ProductEntry {
    int productCode;
    SensorFamily family;
    int modelCode;
};

// The model of a product code, or nullptr for a code this build has no driver for.
const ProductEntry *FindProduct(int productCode);

// The head behind a product code (None for an unknown code).
SensorFamily FamilyOfProduct(int productCode);

// True for the four product codes of the IMX990 and IMX991 heads.
bool IsImx990FamilyProduct(int productCode);
// True for the eight product codes of this build.
bool IsImx99xProduct(int productCode);

// The sensor factory: the driver for the product code, bound to the controller's control
// interface at sensor bus address 0x48 and given its model code. nullptr for a product code
// without a driver, or when the driver refuses the model code.
std::unique_ptr<sensors::CSensorBase> CreateSensor(int productCode,
                                                   controller::CControllerBase *controller);

}  // namespace korvix::core
