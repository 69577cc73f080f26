#pragma once

#include "engine/core/EngineLog.h"

class Device;

// Routes the engine log into the device's "q3D.log" for as long as it lives.
class DeviceLog final : public EngineLogSink {
public:
    explicit DeviceLog(Device& device) : device(device) {}
    DeviceLog(const DeviceLog&) = delete;
    DeviceLog& operator=(const DeviceLog&) = delete;

    void WriteLogLine(const char* line) override;

private:
    Device& device;
    EngineLogRoute route{*this};
};
