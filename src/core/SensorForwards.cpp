// Settings that the device core hands straight to the sensor driver.

#include "core/KorvixU3T2Base.h"
#include "sensors/SensorBase.h"

namespace korvix::core {
namespace {

using sensors::CSensorBase;
using IntGetter = int (CSensorBase::*)(int *);
using FloatLimitGetter = double (CSensorBase::*)(double *);

// "V": the value the sensor wrote into a local preset to 0, whatever it returned.
int ValueOf(CSensorBase *sensor, IntGetter get) {
    int value = 0;
    if (sensor) (sensor->*get)(&value);
    return value;
}

// "C": the same, but 0 when the sensor operation fails.
int StrictValueOf(CSensorBase *sensor, IntGetter get) {
    int value = 0;
    if (!sensor || !(sensor->*get)(&value)) return 0;
    return value;
}

// "F": fills the caller's double and returns the support flag.
int FloatLimitOf(CSensorBase *sensor, FloatLimitGetter get, double *out) {
    if (!sensor) return 0;
    double scratch = 0.0;
    return static_cast<int>((sensor->*get)(out ? out : &scratch));
}

}  // namespace

int CKorvixU3T2Base::SetMirrorH(int on) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetMirrorH(on) : 0;
}
int CKorvixU3T2Base::SetMirrorV(int on) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetMirrorV(on) : 0;
}
int CKorvixU3T2Base::GetMirrorH() {
    DeviceLock lock(deviceLock);
    return StrictValueOf(sensor.get(), &CSensorBase::GetMirrorH);
}
int CKorvixU3T2Base::GetMirrorV() {
    DeviceLock lock(deviceLock);
    return StrictValueOf(sensor.get(), &CSensorBase::GetMirrorV);
}
int CKorvixU3T2Base::GetMirrorHDefault() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->GetMirrorHDefault() : 0;
}
int CKorvixU3T2Base::GetMirrorVDefault() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->GetMirrorVDefault() : 0;
}
int CKorvixU3T2Base::IsMirrorVSupported() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->IsMirrorVSupported() : 0;
}
int CKorvixU3T2Base::IsMirrorHSupported() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->IsMirrorHSupported() : 0;
}
int CKorvixU3T2Base::GetTriggerMode(int *mode) {
    DeviceLock lock(deviceLock);
    return sensor && mode ? sensor->GetTriggerMode(mode) : 0;
}

int CKorvixU3T2Base::GetWidthVariable() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().widthVariable : 0;
}
int CKorvixU3T2Base::GetHeightVariable() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().heightVariable : 0;
}
int CKorvixU3T2Base::GetSensorWidth() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().sensorWidth : 0;
}
int CKorvixU3T2Base::GetSensorHeight() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().sensorHeight : 0;
}
int CKorvixU3T2Base::GetDefaultWidth() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().defaultWidth : 0;
}
int CKorvixU3T2Base::GetDefaultHeight() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().defaultHeight : 0;
}
int CKorvixU3T2Base::GetDefaultX() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().defaultX : 0;
}
int CKorvixU3T2Base::GetDefaultY() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->Params().defaultY : 0;
}

int CKorvixU3T2Base::SetGlobalGain(unsigned gain) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetGlobalGain(gain) : 0;
}
int CKorvixU3T2Base::GetGlobalGain() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetGlobalGain);
}
int CKorvixU3T2Base::GetGlobalGainMin() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetGlobalGainMin);
}
int CKorvixU3T2Base::GetGlobalGainMax() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetGlobalGainMax);
}
int CKorvixU3T2Base::GetGlobalGainDefault() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetGlobalGainDefault);
}

int CKorvixU3T2Base::GetExposureTime() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureTime);
}
int CKorvixU3T2Base::GetExposureTimeMin() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureTimeMin);
}
int CKorvixU3T2Base::GetExposureTimeMax() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureTimeMax);
}
int CKorvixU3T2Base::GetExposureTimeDefault() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureTimeDefault);
}
int CKorvixU3T2Base::SetExposureLines(unsigned lines) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetExposureLines(lines) : 0;
}
int CKorvixU3T2Base::GetExposureLines() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureLines);
}
int CKorvixU3T2Base::GetExposureLinesMin() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureLinesMin);
}
int CKorvixU3T2Base::GetExposureLinesMax() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureLinesMax);
}
int CKorvixU3T2Base::GetExposureLinesDefault() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetExposureLinesDefault);
}

int CKorvixU3T2Base::IsExposureTimeExSupported() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->IsExposureTimeExSupported() : 0;
}
int CKorvixU3T2Base::GetExposureTimeEx(double *seconds) {
    DeviceLock lock(deviceLock);
    return sensor && seconds ? sensor->GetExposureTimeEx(seconds) : 0;
}
int CKorvixU3T2Base::GetExposureTimeExMin(double *seconds) {
    DeviceLock lock(deviceLock);
    return FloatLimitOf(sensor.get(), &CSensorBase::GetExposureTimeExMin, seconds);
}
int CKorvixU3T2Base::GetExposureTimeExMax(double *seconds) {
    DeviceLock lock(deviceLock);
    return FloatLimitOf(sensor.get(), &CSensorBase::GetExposureTimeExMax, seconds);
}
int CKorvixU3T2Base::GetExposureTimeExDefault(double *seconds) {
    DeviceLock lock(deviceLock);
    return FloatLimitOf(sensor.get(), &CSensorBase::GetExposureTimeExDefault, seconds);
}

int CKorvixU3T2Base::GetChannelGainMin() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetChannelGainMin);
}
int CKorvixU3T2Base::GetChannelGainMax() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetChannelGainMax);
}
int CKorvixU3T2Base::GetChannelGainDefault() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetChannelGainDefault);
}

int CKorvixU3T2Base::IsBlackLevelSupported() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->IsBlackLevelSupported() : 0;
}
int CKorvixU3T2Base::SetBlackLevel(unsigned level) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetBlackLevel(level) : 0;
}
int CKorvixU3T2Base::GetBlackLevel() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetBlackLevel);
}
int CKorvixU3T2Base::GetBlackLevelMin() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetBlackLevelMin);
}
int CKorvixU3T2Base::GetBlackLevelMax() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetBlackLevelMax);
}
int CKorvixU3T2Base::GetBlackLevelDefault() {
    DeviceLock lock(deviceLock);
    return ValueOf(sensor.get(), &CSensorBase::GetBlackLevelDefault);
}
int CKorvixU3T2Base::IsAuxModeSupported() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->IsAuxModeSupported() : 0;
}
int CKorvixU3T2Base::GetAuxMode(int *mode) {
    DeviceLock lock(deviceLock);
    return sensor && mode ? sensor->GetAuxMode(mode) : 0;
}

int CKorvixU3T2Base::SetAuxMode(int mode) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetAuxMode(mode) : 0;
}
int CKorvixU3T2Base::SetColorGain(sensors::ColorGainChannel channel, unsigned gain) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetColorGain(channel, gain) : 0;
}
int CKorvixU3T2Base::GetColorGain(sensors::ColorGainChannel channel) {
    DeviceLock lock(deviceLock);
    int value = 0;
    if (sensor) sensor->GetColorGain(channel, &value);
    return value;
}
int CKorvixU3T2Base::SetSamplingRate(int rate) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetSamplingRate(rate) : 0;
}

int CKorvixU3T2Base::HasGainMode() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->HasGainMode() : 0;
}
int CKorvixU3T2Base::SetGainMode(int mode) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetGainMode(mode) : 0;
}
int CKorvixU3T2Base::GetGainMode() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->GetGainMode() : 0;
}

int CKorvixU3T2Base::HasPeltier() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->HasPeltier() : 0;
}
int CKorvixU3T2Base::GetPeltier() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->GetPeltier() : 0;
}
int CKorvixU3T2Base::SetPeltier(int on) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetPeltier(on) : 0;
}
int CKorvixU3T2Base::HasTemperature() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->HasTemperature() : 0;
}
int CKorvixU3T2Base::GetTemperature(double *celsius) {
    DeviceLock lock(deviceLock);
    return sensor && celsius ? sensor->GetTemperature(celsius) : 0;
}

int CKorvixU3T2Base::SetTriggerEdge(int edge) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetTriggerEdge(edge) : 0;
}
int CKorvixU3T2Base::PrepareTrigger() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->PrepareTrigger() : 0;
}
int CKorvixU3T2Base::HasTriggerEdge() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->HasTriggerEdge() : 0;
}

int CKorvixU3T2Base::IsGainStepSupported() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->IsGainStepSupported() : 0;
}
int CKorvixU3T2Base::GetGainStepMin() {
    DeviceLock lock(deviceLock);
    return StrictValueOf(sensor.get(), &CSensorBase::GetGainStepMin);
}
int CKorvixU3T2Base::GetGainStepMax() {
    DeviceLock lock(deviceLock);
    return StrictValueOf(sensor.get(), &CSensorBase::GetGainStepMax);
}
int CKorvixU3T2Base::GetGainStepDefault() {
    DeviceLock lock(deviceLock);
    return StrictValueOf(sensor.get(), &CSensorBase::GetGainStepDefault);
}

int CKorvixU3T2Base::CanOutput8Bit() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->CanOutput8Bit() : 1;
}
int CKorvixU3T2Base::CanOutput16Bit() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->CanOutput16Bit() : 1;
}
int CKorvixU3T2Base::CanOutputColor() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->CanOutputColor() : 1;
}
int CKorvixU3T2Base::HasFpgaControlBit() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->HasFpgaControlBit() : 1;
}
int CKorvixU3T2Base::SetFpgaControlBit() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->SetFpgaControlBit() : 1;
}

}  // namespace korvix::core
