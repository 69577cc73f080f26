#pragma once

// AIs without a body in a working folder of their own: no mission, network session or item
// factory left from another test, the shared generator seeded, and helpers for saved blocks.

#include <cstdint>
#include <cstring>
#include <vector>

#include "characters/ai/AI.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Formation.h"
#include "characters/objects/GameObject.h"
#include "characters/level/NetworkSession.h"
#include "characters/body/TemplateCharacter.h"
#include "characters/ai/WaypointGraph.h"
#include "characters/level/WeaponQueries.h"
#include "engine/core/RandomMT.h"
#include "engine/serial/SaveStream.h"
#include "tests/characters/ai/AITestFolder.h"

// A patrol waypoint at (x, height, z).
inline Waypoint PatrolPoint(float x, float z, float waitMin = 0.0f, float waitMax = 0.0f, bool chat = false,
                            float height = 0.0f)
{
    Waypoint w;
    w.position = Vector3(x, height, z);
    w.waitMin = waitMin;
    w.waitMax = waitMax;
    w.chitChat = chat ? 1 : 0;
    return w;
}

class AIFixture : public AITestFolder {
protected:
    void SetUp() override
    {
        AITestFolder::SetUp();
        SetTemplateCharacter(nullptr);
        Formation::FreeAll();
        seedMT(4357);
        GameObject::SetNextObjectID(0);
    }

    void TearDown() override
    {
        Formation::FreeAll();
        AITestFolder::TearDown();
    }

    static std::vector<std::uint8_t> SaveToMemory(GameObject& object)
    {
        std::vector<std::uint8_t> buffer(1 << 16);
        SaveStream stream = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
        object.Save(&stream);
        buffer.resize(stream.position);
        return buffer;
    }

    static void LoadFromMemory(GameObject& object, std::vector<std::uint8_t> bytes)
    {
        SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
        object.Load(&stream);
    }

    // The character block alone of an AI (what its Save writes before the AI block).
    static std::vector<std::uint8_t> CharacterBlockOf(Character& character)
    {
        std::vector<std::uint8_t> buffer(1 << 16);
        SaveStream stream = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
        character.Character::Save(&stream);
        buffer.resize(stream.position);
        return buffer;
    }
};

// Little-endian appends for the expected bytes, written apart from the stream under test.
struct ExpectedBytes {
    std::vector<std::uint8_t> data;
    ExpectedBytes& u8(std::uint32_t v)
    {
        data.push_back(std::uint8_t(v));
        return *this;
    }
    ExpectedBytes& u16(std::uint32_t v) { return u8(v & 0xFF).u8(v >> 8); }
    ExpectedBytes& i32(std::int32_t v)
    {
        const auto u = std::uint32_t(v);
        return u8(u & 0xFF).u8((u >> 8) & 0xFF).u8((u >> 16) & 0xFF).u8(u >> 24);
    }
    ExpectedBytes& f32(float v)
    {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return i32(std::int32_t(u));
    }
    ExpectedBytes& v3(float x, float y, float z) { return f32(x).f32(y).f32(z); }
    ExpectedBytes& bytes(const std::uint8_t* p, std::size_t n)
    {
        data.insert(data.end(), p, p + n);
        return *this;
    }
    ExpectedBytes& zeros(std::size_t n)
    {
        data.insert(data.end(), n, 0);
        return *this;
    }
    ExpectedBytes& text(const char* s, std::size_t width)
    {
        const std::size_t n = std::min(std::strlen(s), width - 1);
        for (std::size_t i = 0; i < width; ++i)
            u8(i < n ? std::uint8_t(s[i]) : 0);
        return *this;
    }
};
