#pragma once

// Characters and their animation controllers in a working folder of their own, with a device on a
// small offscreen window, the demo data set's "GameData" folder linked in, the shared random
// generator seeded, and no mission, network session or item factory left from another test.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/framework/Application.h"
#include "app/framework/Singletons.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/objects/GameObject.h"
#include "characters/level/NetworkSession.h"
#include "characters/body/TemplateCharacter.h"
#include "engine/core/ObjectIDTree.h"
#include "engine/serial/SaveStream.h"
#include "engine/core/RandomMT.h"
#include "tests/renderer/RendererFixture.h"

// An item with a block of its own: the version byte, its identifier and health (the object
// block), and the magazines it carries, so that a character's block shows where each item's
// block stands.
class TestItem : public CarriedItem {
public:
    explicit TestItem(const char* typeName, int slot = -1, int itemCategory = PlainItem) : slotKind(slot)
    {
        std::strncpy(name, typeName, kNameSize - 1);
        category = itemCategory;
    }
    void Save(SaveStream* stream) override
    {
        stream->WriteUInt8(1);
        GameObject::Save(stream);
        stream->WriteInt32(magazines);
    }
    void Load(SaveStream* stream) override
    {
        stream->ExpectVersion(1, "Incorrection version number in Item block");
        GameObject::Load(stream);
        magazines = stream->ReadInt32();
    }
    int GetSlotKind() override { return slotKind; }
    bool IsWeapon() override { return category == Weapon; }
    int GetMagazines() override { return magazines; }
    void SetMagazines(int count) override { magazines = count; }
    bool IsExplosive() override { return explosive; }
    int GetLastDamage() override { return lastDamage; }
    float GetTroopProtection() override { return protection; }
    bool ApplyDamage(int amount, const Vector3& point, const Vector3& direction) override
    {
        lastDamage = amount;
        return CarriedItem::ApplyDamage(amount, point, direction);
    }
    float GetHalfWidth() override { return halfWidth; }
    float GetSpeed() override { return speed; }

    int slotKind = -1;
    int magazines = 0;
    bool explosive = false;
    int lastDamage = 0;
    float protection = 1.0f;
    float halfWidth = 4.0f;
    float speed = 0.0f;
};

class CharacterTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(160, 120);
        Application::Instance()->SetDevice(device);
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "GameData", "GameData");
        SetCarriedItemFactory([](const char* typeName) -> CarriedItem* {
            for (const char* known : {"Rifle", "Pistol", "Medkit", "Ammo Belt", "Knife"}) {
                if (std::strcmp(typeName, known) == 0)
                    return new TestItem(typeName);
            }
            return nullptr;
        });
        SetTemplateCharacter(nullptr);
        seedMT(4357);
        GameObject::SetNextObjectID(0);
    }

    void TearDown() override
    {
        SetCarriedItemFactory({});
        SetTemplateCharacter(nullptr);
        Application::Instance()->SetDevice(nullptr);
        RendererTest::TearDown();
    }

    // Saves the character into memory and returns the bytes written.
    static std::vector<std::uint8_t> SaveToMemory(Character& character)
    {
        std::vector<std::uint8_t> buffer(1 << 16);
        SaveStream stream = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
        character.Save(&stream);
        buffer.resize(stream.position);
        return buffer;
    }

    static void LoadFromMemory(Character& character, std::vector<std::uint8_t> bytes)
    {
        SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
        character.Load(&stream);
    }
};

// Little-endian appends for the expected bytes, written here apart from the stream under test.
struct Bytes {
    std::vector<std::uint8_t> data;
    Bytes& u8(std::uint32_t v)
    {
        data.push_back(std::uint8_t(v));
        return *this;
    }
    Bytes& u16(std::uint32_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& i32(std::int32_t v)
    {
        const auto u = std::uint32_t(v);
        return u8(u & 0xFF).u8((u >> 8) & 0xFF).u8((u >> 16) & 0xFF).u8(u >> 24);
    }
    Bytes& f32(float v)
    {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return i32(std::int32_t(u));
    }
    Bytes& v3(float x, float y, float z) { return f32(x).f32(y).f32(z); }
    Bytes& text(const char* s, std::size_t width)
    {
        const std::size_t n = std::min(std::strlen(s), width - 1);
        for (std::size_t i = 0; i < width; ++i)
            u8(i < n ? std::uint8_t(s[i]) : 0);
        return *this;
    }
};
