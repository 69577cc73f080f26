#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/framework/Application.h"
#include "characters/objects/CarriedItem.h"
#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/Soldier.h"
#include "engine/binding/RendererBinding.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "items/AutoRifleItem.h"
#include "items/ItemDefinition.h"
#include "items/projectiles/Bullet.h"
#include "items/projectiles/GrenadeProjectile.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "tests/fuzz/ScratchFile.h"

namespace readers {

namespace {

// The classes whose blocks are read, by the input's first byte.
enum Kind : std::uint8_t { SoldierBlock, RifleBlock, LauncherBlock, GrenadeBlock, BulletBlock, KindCount };

constexpr std::uint32_t kBufferSize = 1u << 20;

// An automatic rifle's definition with its keyword; no models, pictures or sounds, so that the
// weapon is made without a device.
std::string RifleText(const char* name, const char* keyword)
{
    return std::string(name) + "\nAn automatic rifle\n-\n3.5\n0.5\n4\n0\n0\n" + keyword +
           "\nRifle\n-\n-\n-\nN/A\n1\n1\n30\n1\n0.01\n6\n150\n300\n400\n0.1\n3\n1\n2\nBip01 R Hand\nnone\n25\n40\n500\n";
}

// The weapons load their pictures (the muzzle flash) when they are made: a device of the real
// renderer library on a small window, headless under the offscreen video driver. Made once a
// process and kept to its end.
struct HeadlessDevice {
    HeadlessDevice()
    {
        if (Application::Instance()->GetDevice())
            return;
        try {
            LoadRendererLibrary(kRendererLibraryName, &device);
        } catch (const q3DError& error) {
            std::fprintf(stderr, "no device for the saved blocks: %s\n", error.GetText());
            return;
        }
        if (!device)
            return;
        window = platform::os::Window::Create("saved blocks", 64, 64, platform::os::WindowMode::Windowed);
        if (window && device->CreateWindowed(window.get(), -1) == 1)
            Application::Instance()->SetDevice(device);
    }
    Device* device = nullptr;
    std::unique_ptr<platform::os::Window> window;
};

bool HasDevice()
{
    static HeadlessDevice* headless = new HeadlessDevice();
    return headless && Application::Instance()->GetDevice();
}

// The two weapon definitions, read from files of this process's own that last while it runs.
struct Definitions {
    Definitions()
    {
        const std::string rifleText = RifleText("Rifle", "SMG"), launcherText = RifleText("Launcher", "SMG-Gren");
        rifleFile = std::make_unique<ScratchFile>("saved-fuzz-rifle", ".idf",
                                                  reinterpret_cast<const std::uint8_t*>(rifleText.data()),
                                                  rifleText.size());
        launcherFile = std::make_unique<ScratchFile>("saved-fuzz-launcher", ".idf",
                                                     reinterpret_cast<const std::uint8_t*>(launcherText.data()),
                                                     launcherText.size());
        ready = LoadItemDefinition(rifleFile->path.c_str(), rifle) &&
                LoadItemDefinition(launcherFile->path.c_str(), launcher);
    }
    std::unique_ptr<ScratchFile> rifleFile, launcherFile;
    ItemDefinition rifle, launcher;
    bool ready = false;
};

Definitions& WeaponDefinitions()
{
    static Definitions definitions;
    return definitions;
}

// The one animation set the weapons use.
class RifleSetOnly : public NoLevel {
public:
    int FindAnimationSet(const char* name) override { return std::strcmp(name, "Rifle") == 0 ? 0 : -1; }
    int AnimationSetCount() override { return 1; }
    const char* AnimationSetName(int) override { return "Rifle"; }

private:
    RunningLevel level{{.animations = this}};
};

// What a level gives while a block is read: the item factory a character's inventory is rebuilt
// through, and the one animation set the weapons use.
class FactoryScope {
public:
    FactoryScope()
    {
        SetCarriedItemFactory([](const char* name) -> CarriedItem* {
            Definitions& definitions = WeaponDefinitions();
            if (std::strcmp(name, "Rifle") == 0)
                return new AutoRifleItem(definitions.rifle);
            if (std::strcmp(name, "Launcher") == 0)
                return new MachinegunGrenItem(definitions.launcher);
            return nullptr;
        });
    }
    ~FactoryScope()
    {
        SetCarriedItemFactory({});
    }
    FactoryScope(const FactoryScope&) = delete;
    FactoryScope& operator=(const FactoryScope&) = delete;

private:
    RifleSetOnly animations;
};

bool Finite(float value) { return std::isfinite(value); }
bool Finite(const Vector3& v) { return Finite(v.x) && Finite(v.y) && Finite(v.z); }
bool Finite(const Matrix3& m)
{
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            if (!Finite(m(row, column)))
                return false;
    return true;
}

std::string CheckWeapon(WeaponItem& weapon)
{
    if (weapon.GetCartridges() < 0 || weapon.GetMagazines() < -1 || weapon.GetMagazines() > kMaxDefinitionCount ||
        weapon.GetMagazineCapacity() < 0 || weapon.GetMagazineCapacity() > kMaxDefinitionCount)
        return "a weapon's ammunition is out of range";
    if (!Finite(weapon.position) || !Finite(weapon.rotation) || !Finite(weapon.ownerSkill))
        return "a weapon's number is not finite";
    if (auto* rifle = dynamic_cast<AutoRifleItem*>(&weapon); rifle && !Finite(rifle->timeSinceShot))
        return "the time since the last shot is not finite";
    if (auto* launcher = dynamic_cast<MachinegunGrenItem*>(&weapon);
        launcher && (launcher->grenades < 0 || launcher->grenades > kMaxDefinitionCount))
        return "the launcher's grenades are out of range";
    return {};
}

std::string CheckBullet(Bullet& bullet)
{
    if (!Finite(bullet.travelled) || !Finite(bullet.maxDistance) || !Finite(bullet.start) ||
        !Finite(bullet.direction) || !Finite(bullet.rotation) || !Finite(bullet.position) || !Finite(bullet.scale))
        return "a bullet's number is not finite";
    return {};
}

bool StaysInside(const char* path)
{
    const std::string text(path);
    return text.empty() || (text[0] != '/' && text[0] != '\\' && text.find("..") == std::string::npos &&
                            text.find(':') == std::string::npos);
}

std::string CheckGrenade(GrenadeProjectile& grenade)
{
    if (std::string broken = CheckBullet(grenade); !broken.empty())
        return broken;
    if (!Finite(grenade.origin) || !Finite(grenade.fuse) || !Finite(grenade.velocity) || !Finite(grenade.bounce) ||
        !Finite(grenade.blastRadius))
        return "a grenade's number is not finite";
    for (const char* path : {grenade.explosionSoundPath, grenade.modelPath, grenade.bounceSoundPrefix})
        if (!std::memchr(path, '\0', 256) || !StaysInside(path))
            return "a grenade's path is unterminated or leads outside";
    return {};
}

std::string CheckSoldier(Soldier& soldier)
{
    if (!Finite(soldier.position) || !Finite(soldier.velocity) || !Finite(soldier.moveInput) ||
        !Finite(soldier.goalPosition) || !Finite(soldier.timerA) || !Finite(soldier.followDelay) ||
        std::isnan(soldier.timeLeft))
        return "a soldier's number is not finite";
    if (soldier.posture < 0 || soldier.posture > 2)
        return "the posture is out of range";
    if (soldier.state < 0 || soldier.state >= SoldierStateCount || soldier.previousState < 0 ||
        soldier.previousState >= SoldierStateCount || soldier.phase < Soldier::Entering ||
        soldier.phase > Soldier::Finished)
        return "the soldier's state is out of range";
    if (soldier.GetInventory().size() > 256)
        return "the inventory is beyond its bound";
    for (CarriedItem* item : soldier.GetInventory())
        if (auto* weapon = dynamic_cast<WeaponItem*>(item))
            if (std::string broken = CheckWeapon(*weapon); !broken.empty())
                return broken;
    return {};
}

// The object of a kind, made as the game makes it before its block is read: a game object, or a
// projectile, whose blocks the level's projectile list reads and writes apart from them.
struct Made {
    explicit Made(Kind kind)
    {
        Definitions& definitions = WeaponDefinitions();
        switch (kind) {
        case SoldierBlock: object = std::make_unique<Soldier>(); break;
        case RifleBlock: object = std::make_unique<AutoRifleItem>(definitions.rifle); break;
        case LauncherBlock: object = std::make_unique<MachinegunGrenItem>(definitions.launcher); break;
        case GrenadeBlock: bullet = std::make_unique<GrenadeProjectile>(); break;
        default: bullet = std::make_unique<Bullet>(); break;
        }
    }
    // A character does not own what it carries: the level frees it, as this does.
    ~Made()
    {
        if (auto* character = dynamic_cast<Character*>(object.get()))
            character->DeleteInventory();
    }
    Made(const Made&) = delete;
    Made& operator=(const Made&) = delete;
    void Load(SaveStream& stream) { object ? object->Load(&stream) : bullet->Load(&stream); }
    void Save(SaveStream& stream) { object ? object->Save(&stream) : bullet->Save(&stream); }
    std::string Check()
    {
        if (auto* soldier = dynamic_cast<Soldier*>(object.get()))
            return CheckSoldier(*soldier);
        if (auto* weapon = dynamic_cast<WeaponItem*>(object.get()))
            return CheckWeapon(*weapon);
        if (auto* grenade = dynamic_cast<GrenadeProjectile*>(bullet.get()))
            return CheckGrenade(*grenade);
        return bullet ? CheckBullet(*bullet) : std::string();
    }

    std::unique_ptr<GameObject> object;
    std::unique_ptr<Bullet> bullet;
};

} // namespace

std::string ReadSavedBlockBytes(const std::uint8_t* data, std::size_t size)
{
    if (!HasDevice())
        return "no device for the weapons";
    if (!WeaponDefinitions().ready)
        return "the weapon definitions do not load";
    if (size < 1 || size > kBufferSize)
        return {};
    const Kind kind = Kind(data[0] % KindCount);
    const FactoryScope factory;
    std::vector<std::uint8_t> block(data + 1, data + size);
    Made made(kind);
    try {
        SaveStream in = SaveStream::OnMemory(block.data(), std::uint32_t(block.size()));
        made.Load(in);
    } catch (const q3DError& error) {
        return error.GetText()[0] ? "" : "a refused block gives no reason";
    }
    if (std::string broken = made.Check(); !broken.empty())
        return broken;
    // What a Load took, Save writes and Load takes again.
    std::vector<std::uint8_t> written(kBufferSize);
    std::uint32_t length = 0;
    try {
        SaveStream out = SaveStream::OnMemory(written.data(), kBufferSize);
        made.Save(out);
        length = out.position;
    } catch (const q3DError& error) {
        return std::string("a loaded object does not save: ") + error.GetText();
    }
    Made again(kind);
    try {
        SaveStream in = SaveStream::OnMemory(written.data(), length);
        again.Load(in);
    } catch (const q3DError& error) {
        return std::string("a block written after a load is refused: ") + error.GetText();
    }
    return {};
}

std::vector<std::vector<std::uint8_t>> MakeSavedBlockSeeds()
{
    std::vector<std::vector<std::uint8_t>> seeds;
    if (!HasDevice() || !WeaponDefinitions().ready)
        return seeds;
    const FactoryScope factory;
    for (std::uint8_t kind = 0; kind < KindCount; ++kind) {
        Made made{Kind(kind)};
        if (auto* soldier = dynamic_cast<Soldier*>(made.object.get())) {
            for (const char* name : {"Rifle", "Launcher"})
                soldier->PickUpItem(CreateCarriedItem(name), true);
            soldier->SelectItem(soldier->GetInventory().front());
        }
        std::vector<std::uint8_t> written(kBufferSize);
        SaveStream out = SaveStream::OnMemory(written.data(), kBufferSize);
        made.Save(out);
        written.resize(out.position);
        written.insert(written.begin(), kind);
        seeds.push_back(std::move(written));
    }
    return seeds;
}

} // namespace readers
