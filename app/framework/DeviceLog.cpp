#include "app/framework/DeviceLog.h"

#include "renderer/Device.h"

void DeviceLog::WriteLogLine(const char* line)
{
    device.Log("%s", line);
}
