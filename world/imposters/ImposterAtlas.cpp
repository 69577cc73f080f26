#include "world/imposters/ImposterAtlas.h"

#include <string>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "renderer/Device.h"

ImposterPage::~ImposterPage()
{
    if (sprite.material.texture[0])
        sprite.material.texture[0]->Destroy();
    sprite.material.texture[0] = nullptr;
}

void ImposterAtlas::Clear()
{
    if (depthBuffer)
        depthBuffer->Destroy();
    depthBuffer = nullptr;
    pages.clear();
}

ImposterPage* ImposterPage::Create(Device* device, ImposterAtlas& atlas)
{
    auto page = std::make_unique<ImposterPage>();
    D3DBitmap* target = nullptr;
    device->CreateRenderTargetBitmap(&target);
    if (!target || target->Create("Imposter", 512, 512, 8, 1338) < 0) {
        const std::string reason = target && target->GetLastError() ? target->GetLastError() : "no bitmap";
        if (target)
            target->Destroy();
        device->Log("Can't create imposter render target: %s", reason.c_str());
        throw q3DError("Can't create imposter render target: %s", reason.c_str());
    }
    page->sprite.material.texture[0] = target;
    page->sprite.material.srcBlend = BlendOne;
    page->sprite.material.destBlend = BlendInvSrcAlpha;
    page->sprite.material.lightingMode = 0;
    page->sprite.material.cullFlags = Material::kTwoSided;
    ImposterCell::Build(&page->root, ImposterCell::kPageSize);
    atlas.pages.push_back(std::move(page));
    return atlas.pages.back().get();
}
