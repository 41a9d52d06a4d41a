#pragma once

// A device core without a camera whose gain, exposure and mirror answers the pipeline
// tests choose, recording what the pipeline writes.

#include "core/KorvixU3T2Base.h"

namespace korvix::pipeline::test {

class FakeDeviceCore : public core::CKorvixU3T2Base {
public:
    int gain = 0, gainMin = 0, gainMax = 100;
    int exposure = 0, exposureMin = 1, exposureMax = 1000000;
    int gainWrites = 0, exposureWrites = 0;
    bool mirrorsItself = false;
    bool realExposure = false;

    int SetGlobalGain(unsigned value) override {
        gain = static_cast<int>(value);
        ++gainWrites;
        return 1;
    }
    int GetGlobalGain() override { return gain; }
    int GetGlobalGainMin() override { return gainMin; }
    int GetGlobalGainMax() override { return gainMax; }
    int SetExposureTime(unsigned value) override {
        exposure = static_cast<int>(value);
        ++exposureWrites;
        return 1;
    }
    int GetExposureTime() override { return exposure; }
    int GetExposureTimeMin() override { return exposureMin; }
    int GetExposureTimeMax() override { return exposureMax; }
    int IsExposureTimeExSupported() override { return realExposure; }
    int GetExposureTimeEx(double *seconds) override {
        *seconds = exposure / 10000.0;
        return realExposure;
    }
    int IsMirrorHSupported() override { return mirrorsItself; }
    int IsMirrorVSupported() override { return mirrorsItself; }
};

}  // namespace korvix::pipeline::test
