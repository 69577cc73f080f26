#include "engine/sprite/SpriteNode.h"

#include <algorithm>

#include "engine/camera/Camera.h"
#include "engine/material/VertexLayout.h"
#include "engine/sprite/Sprite.h"
#include "renderer/Device.h"

namespace {

// The lit-textured layout: position, normal, colour, two uv sets.
struct BillboardVertex {
    float position[3];
    float normal[3];
    std::uint32_t color;
    float uv0[2];
    float uv1[2];
};
static_assert(sizeof(BillboardVertex) == 44);

} // namespace

SpriteNode::~SpriteNode() = default;

void SpriteNode::Load(Device* device, const char* path)
{
    auto loaded = std::make_unique<Sprite>();
    loaded->ownsTexture = true;
    loaded->Load(device, path);
    sprite = std::move(loaded);
    material = &sprite->material;
    material->cullFlags |= Material::kTwoSided;
}

int SpriteNode::Draw(Device* device)
{
    if (!sprite || !device)
        return 0;
    const Vector3 at = world.GetTranslation();
    Matrix4 translation;
    translation.SetTranslation(at);
    device->SetWorldTransform(&translation);

    if (billboard == 0) {
        const Vector3 origin;
        Vector4 projected;
        device->TransformPoint(&projected, &origin);
        D3DBitmap* texture = sprite->material.texture[0];
        const int textureWidth = texture ? texture->GetWidth() : 0;
        const int textureHeight = texture ? texture->GetHeight() : 0;
        sprite->x = int(projected.x) - textureWidth / 2;
        sprite->y = int(projected.y) - textureHeight / 2;
        sprite->depth = std::clamp(projected.z, 0.0f, 1.0f);
        sprite->scale = scale.x;
        sprite->alpha = alpha;
        sprite->red = red;
        sprite->green = green;
        sprite->blue = blue;
        return sprite->Draw(device) ? 1 : 0;
    }

    // A billboard faces the active camera; with none there is nothing to face.
    Camera* camera = device->GetCamera();
    if (!camera)
        return 0;
    const Vector3 cameraRight(camera->world(0, 0), camera->world(0, 1), camera->world(0, 2));
    const Vector3 cameraUp(camera->world(1, 0), camera->world(1, 1), camera->world(1, 2));
    const Vector3 r = cameraRight * (scale.x * 0.5f);
    const Vector3 u = cameraUp * (scale.y * 0.5f);
    if (camera->SphereInFrustum(BoundingSphere(Vector3(), std::max(scale.x, scale.y))) == 0)
        return 0;

    const Material* drawn = material ? material : &sprite->material;
    const std::uint32_t color = drawn->lightingMode != 0 ? PackSpriteColor(alpha, 0.0f, 0.0f, 0.0f)
                                                         : PackSpriteColor(alpha, red, green, blue);
    const Vector3 corners[4] = {u - r, u + r, r - u, -r - u};
    const float uvs[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    BillboardVertex vertices[4];
    for (int i = 0; i < 4; ++i)
        vertices[i] = BillboardVertex{{corners[i].x, corners[i].y, corners[i].z},
                                      {0, 0, 0},
                                      color,
                                      {uvs[i][0], uvs[i][1]},
                                      {uvs[i][0], uvs[i][1]}};
    static const std::uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    VertexLayout layout;
    layout.InitLitTextured();
    device->DrawUserPrimitives(PrimTriangleList, vertices, 4, &layout, indices, 6,
                               material ? material : &sprite->material);
    return 1;
}
