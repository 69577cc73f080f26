#pragma once

#include "renderer/Device.h"
#include "renderer/ErrorText.h"

// One light slot of the device; a light beyond the device's limit exists but does nothing.
class Light final : public D3DLight {
public:
    Light();

    int Set() override;
    void Destroy() override;
    int Enable(bool on) override;
    bool IsEnabled() override;
    const char* GetLastError() override;
    void SetError(const char* format, ...) override LUMORA_PRINTF(2, 3);

    int GetIndex() const { return index; }

private:
    ~Light();

    bool enabled = false;
    int index = -1;
    ErrorText errorText;
};
