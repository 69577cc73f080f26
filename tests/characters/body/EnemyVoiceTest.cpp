// The enemy's voice lines from the demo data set, played on a sound system on the loopback output:
// the sets of the mission's voice folder, the attack set, and which line a hit, a kill and a dead
// target bring.
#include <filesystem>

#include "media/SoundSystem.h"
#include "tests/characters/LoopbackVoices.h"
#include "tests/characters/body/EnemyFixture.h"

namespace {

class EnemyVoiceTest : public EnemyTest {
protected:
    void SetUp() override
    {
        EnemyTest::SetUp();
        system = OpenLoopbackSoundSystem();
        ASSERT_NE(system, nullptr);
        Application::Instance()->SetSoundSystem(system.get());
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "Sound", "Sound");
    }

    void TearDown() override
    {
        enemies.clear();
        Application::Instance()->SetSoundSystem(nullptr);
        system.reset();
        EnemyTest::TearDown();
    }

    std::unique_ptr<SoundSystem> system;
    LoopbackVoiceRecords voices;
};

} // namespace

TEST_F(EnemyVoiceTest, TheMissionsVoiceFolderGivesFiveSetsAndLoadVoicesTheAttackSet)
{
    Enemy& enemy = MakeEnemy();
    for (int set : {Enemy::EndSearch, Enemy::PDead, Enemy::Notice, Enemy::Damage, Enemy::Death})
        EXPECT_EQ(enemy.GetVoiceCount(set), 2) << "set " << set;
    EXPECT_EQ(enemy.GetVoiceCount(Enemy::AttackSet), 0);
    enemy.LoadVoices("Sound/whistle");
    EXPECT_EQ(enemy.GetVoiceCount(Enemy::AttackSet), 2);
    EXPECT_FLOAT_EQ(enemy.voices[Enemy::AttackSet][0]->maximumDistance, 300.0f);
    EXPECT_FLOAT_EQ(enemy.voices[Enemy::AttackSet][0]->minimumDistance, 40.0f);

    levelFake.voiceFolder = "Sound/Nobody";
    Enemy& mute = MakeEnemy();
    EXPECT_EQ(mute.GetVoiceCount(Enemy::Damage), 0);
    mute.TakeDamage(10, mute.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(mute.voiceHandle, -1) << "a set without samples is passed over";
}

TEST_F(EnemyVoiceTest, AHitSaysAPainLineAKillingHitADeathLineAndADeadTargetAPDeadLine)
{
    Enemy& enemy = MakeEnemy();
    enemy.toughnessOverride = 0.0f;
    enemy.TakeDamage(10, enemy.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(enemy.voiceSetPlaying, Enemy::Damage);
    EXPECT_NE(enemy.voiceHandle, -1);
    enemy.quietHit = 1;
    enemy.TakeDamage(10, enemy.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(enemy.voiceHandle, -1) << "a quiet hit stops the last line and says none";
    EXPECT_EQ(enemy.quietHit, 0);
    enemy.TakeDamage(200, enemy.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_LE(enemy.health, 0);
    EXPECT_EQ(enemy.voiceSetPlaying, Enemy::Death);

    Enemy& silent = MakeEnemy();
    silent.deathVoice = 0;
    silent.TakeDamage(200, silent.position, Vector3(0, 0, 1), nullptr, -1, -1, true);
    EXPECT_EQ(silent.voiceHandle, -1);

    Enemy& hunter = MakeEnemy();
    Give(hunter, "Rifle", CarriedItem::Weapon, true);
    Character victim;
    victim.kind = Character::SquadKind;
    victim.position = Vector3(0, 0, 100);
    hunter.alerted = true;
    hunter.firstContact = 0;
    hunter.SetTarget(&victim, 20000.0f, true);
    victim.health = 0;
    hunter.Update(0.05f);
    EXPECT_EQ(hunter.voiceSetPlaying, Enemy::PDead);
    EXPECT_EQ(hunter.target.target, nullptr);
    EXPECT_FALSE(hunter.alerted);
}
