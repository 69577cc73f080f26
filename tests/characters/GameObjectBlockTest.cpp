#include "GameObjectFixture.h"

#include "engine/serial/SaveStream.h"
#include "tests/support/ErrorText.h"

#include <functional>
#include <memory>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A class of the kind that builds on the game object: its own version byte, the game-object
// block, then a field of its own, as characters and items lay out their blocks.
class VersionedObject : public GameObject {
public:
    static constexpr std::uint8_t Version = 3;

    void Save(SaveStream* stream) override
    {
        stream->WriteUInt8(Version);
        GameObject::Save(stream);
        stream->WriteFloat(speed);
    }
    void Load(SaveStream* stream) override
    {
        stream->ExpectVersion(Version, "Incorrect version number in VersionedObject block");
        GameObject::Load(stream);
        speed = stream->ReadFloat();
    }

    float speed = 0.0f;
};

Bytes SaveToMemory(GameObject& object)
{
    std::uint8_t block[64];
    SaveStream stream = SaveStream::OnMemory(block, sizeof block);
    object.Save(&stream);
    return Bytes(block, block + stream.position);
}

Bytes SaveToFile(GameObject& object)
{
    {
        SaveFile file("object.sav", "wb");
        object.Save(file.GetStream());
        file.Close();
    }
    std::ifstream in("object.sav", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void LoadFromMemory(GameObject& object, Bytes bytes)
{
    SaveStream stream = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    object.Load(&stream);
}

void LoadFromFile(GameObject& object, const Bytes& bytes)
{
    {
        std::ofstream out("object.sav", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    SaveFile file("object.sav", "rb");
    object.Load(file.GetStream());
    file.Close();
}

struct Medium {
    const char* name;
    std::function<Bytes(GameObject&)> save;
    std::function<void(GameObject&, const Bytes&)> load;
};

const Medium kMedia[] = {
    {"memory", SaveToMemory, LoadFromMemory},
    {"file", SaveToFile, LoadFromFile},
};

} // namespace

TEST_F(GameObjectTest, BlockIsTheIdThenTheHealth)
{
    for (const Medium& medium : kMedia) {
        SCOPED_TRACE(medium.name);
        GameObject object;
        object.SetID(0x1234);
        object.health = -3;
        EXPECT_EQ(medium.save(object), (Bytes{0x34, 0x12, 0xFD, 0xFF, 0xFF, 0xFF}));

        VersionedObject versioned;
        versioned.SetID(0xABCD);
        versioned.health = 77;
        versioned.speed = 2.0f;
        EXPECT_EQ(medium.save(versioned), (Bytes{3, 0xCD, 0xAB, 77, 0, 0, 0, 0x00, 0x00, 0x00, 0x40}));

        std::uint8_t block[2];
        SaveStream idOnly = SaveStream::OnMemory(block, 2);
        object.SaveID(&idOnly);
        EXPECT_EQ(Bytes(block, block + 2), (Bytes{0x34, 0x12}));
    }
}

// What a saved game does: save, end the mission, make the objects afresh and load them back.
TEST_F(GameObjectTest, BlockRoundTripsThroughFileAndMemory)
{
    for (const Medium& medium : kMedia) {
        SCOPED_TRACE(medium.name);
        GameObject::SetNextObjectID(0);
        Bytes saved;
        std::uint16_t savedCounter = 0;
        {
            VersionedObject a, b;
            b.health = 12;
            b.speed = -0.25f;
            saved = medium.save(b);
            savedCounter = GameObject::GetNextObjectID();
        }
        GameObject::SetNextObjectID(0);
        VersionedObject fresh; // takes 0, as a loaded game's objects are made before they load
        fresh.targetedByCount = 4;
        medium.load(fresh, saved);
        GameObject::SetNextObjectID(savedCounter);
        EXPECT_EQ(fresh.GetID(), 1);
        EXPECT_EQ(fresh.health, 12);
        EXPECT_EQ(fresh.speed, -0.25f);
        EXPECT_EQ(fresh.targetedByCount, 0);
        EXPECT_EQ(GameObject::GetByID(1), &fresh);
        EXPECT_EQ(GameObject::GetByID(0), nullptr);
        GameObject later;
        EXPECT_EQ(later.GetID(), 2);

        // LoadID takes only the identifier.
        std::uint8_t block[2] = {0x05, 0x00};
        SaveStream idOnly = SaveStream::OnMemory(block, 2);
        fresh.LoadID(&idOnly);
        EXPECT_EQ(fresh.GetID(), 5);
        EXPECT_EQ(fresh.health, 12);
    }
    EXPECT_EQ(Log().find("Warning"), std::string::npos);
}

// A block with no identifier (0xFFFF) loads its health and leaves the object's identifier.
TEST_F(GameObjectTest, BlockWithNoIDKeepsTheObjectsID)
{
    GameObject object;
    object.SetID(8);
    LoadFromMemory(object, {0xFF, 0xFF, 50, 0, 0, 0});
    EXPECT_EQ(object.GetID(), 8);
    EXPECT_EQ(object.health, 50);
    EXPECT_EQ(GameObject::GetByID(8), &object);
}

// Blocks cut short or of another version give a clear error and leave the object as it was.
TEST_F(GameObjectTest, HostileBlocksAreRefusedAndChangeNothing)
{
    struct Case {
        const char* name;
        Bytes bytes;
        const char* memoryError;
        const char* fileError;
    };
    const Case cases[] = {
        {"empty", {}, "Save stream ends early: 1 bytes wanted at offset 0 of the 0-byte block",
         "Save stream ends early: 1 bytes wanted at offset 0"},
        {"wrong version", {4, 0x09, 0x00, 1, 0, 0, 0, 0, 0, 0, 0}, "Incorrect version number in VersionedObject block",
         "Incorrect version number in VersionedObject block"},
        {"version zero", {0}, "Incorrect version number in VersionedObject block",
         "Incorrect version number in VersionedObject block"},
        {"id cut short", {3, 0x09}, "Save stream ends early: 2 bytes wanted at offset 1 of the 2-byte block",
         "Save stream ends early: 2 bytes wanted at offset 1"},
        {"health cut short", {3, 0x09, 0x00, 1, 0}, "Save stream ends early: 4 bytes wanted at offset 3 of the 5-byte block",
         "Save stream ends early: 4 bytes wanted at offset 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VersionedObject object;
        object.SetID(2);
        object.health = 66;
        EXPECT_EQ(ErrorText([&] { LoadFromMemory(object, c.bytes); }), c.memoryError);
        EXPECT_EQ(ErrorText([&] { LoadFromFile(object, c.bytes); }), c.fileError);
        EXPECT_EQ(object.GetID(), 2);
        EXPECT_EQ(object.health, 66);
        EXPECT_EQ(GameObject::GetByID(2), &object);
        EXPECT_EQ(GameObject::GetByID(9), nullptr);
    }
}

// A save that cannot be written all the way is an error, never a success.
TEST_F(GameObjectTest, SaveIntoTooSmallABlockIsAnError)
{
    VersionedObject object;
    std::uint8_t block[5];
    SaveStream stream = SaveStream::OnMemory(block, sizeof block);
    EXPECT_EQ(ErrorText([&] { object.Save(&stream); }), "Save stream: 4 bytes at offset 3 do not fit in the 5-byte block");
}
