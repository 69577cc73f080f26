#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class AnimatedModel;
class Device;
struct AnimationControl;

// Plays a character's body animations on a few channels (legs, turning, the upper-body aim poses,
// the hands): a fixed list of named animations from "animinfo.txt", several animation sets (one
// per way of holding a weapon) and per animation a few interchangeable variations
// ("<name><two digits>.gr2"). A request names an animation by index; the controller picks a
// variation, starts it with the channel's fade, speed and weight, switches variation now and then
// while it loops, and runs queued requests when a one-shot ends.
//
// The names and the variation counts are shared by every controller copied from this one (they
// hold the same files); each holds its own loaded variations and channels.
class AnimationController {
public:
    using RandomSource = std::function<std::uint32_t()>;
    static constexpr float kNoSwitch = 3.4e38f;

    struct Channel {
        int playing = -1;   // animation index playing, -1 idle
        int requested = -1; // animation index wanted, -1 none
        int variation = 0;  // variation playing
        int forcedVariationOnce = -1;
        int forcedVariation = -1;
        int channelValue = 0; // kept for the character; the controller does not read it
        std::deque<int> queue; // pending requests, oldest first
        float fadeOut = 0.3f;
        float speed = 1.0f;
        float weight = 1.0f;
        float easeIn = 0.3f;
        bool easeOutOnStop = true;
        bool stopWhenDone = false;
        bool loop = true; // cleared: the next start plays once
        float switchTimer = 0.0f;
        float switchMin = 10.0f;
        float switchMax = 30.0f;
        float startOffset = 0.0f;
    };

    // Reads the animation names from "animinfo.txt" in folder (through the pack-file layer);
    // throws q3DError "Can't load %s" when it cannot be read. Names beyond animationCount are
    // dropped with one log line.
    AnimationController(const char* folder, int channelCount, int setCount, int animationCount, int maxVariations);
    // Shares the other's names and variation counts; own empty channels and variation tables.
    explicit AnimationController(const AnimationController& other);
    AnimationController& operator=(const AnimationController&) = delete;
    ~AnimationController();

    // Creates the animated model and loads the file; the controller owns it. Throws q3DError.
    void LoadModel(Device* device, const char* path);
    // Uses a model the caller owns.
    void SetModel(AnimatedModel* model);
    AnimatedModel* GetModel() const { return model; }
    void SetSyncModel(AnimatedModel* other) { syncModel = other == model ? nullptr : other; }

    // Takes the other's counts, names and variation counts (a loaded game's characters share the
    // mission's tables).
    void CopySharedTables(const AnimationController& other);
    // Finds and loads the variations of every animation for the set: in the folder, else in
    // "GameData/Models/LowerBody/". Nothing without a model.
    void LoadAnimationSet(int set, const char* folder);
    // Takes the other's loaded variations; with rebindModel this model first takes the other's
    // animations (AnimatedModel::CopyAnimationsFrom), so the controls found are this model's own.
    void CopyChannels(const AnimationController& other, bool rebindModel);

    // Starts, switches and ends the channels' animations. The model's own clock is advanced by
    // its scene-node update.
    void Update(float elapsed);

    void Request(int channel, int animation);
    void Enqueue(int channel, int animation);
    void StopChannel(int channel, float fade);
    void StopAll(float fade);
    void SetAnimationSet(int set);
    int GetAnimationSet() const { return currentSet; }
    AnimationControl* GetVariationControl(int channel) const;
    int GetChannelAnimation(int channel) const;
    int GetChannelVariation(int channel) const;
    bool IsPlaying(int channel) const;
    // A request the channel has not started yet (it starts on the next update).
    bool IsRequestPending(int channel) const;
    float GetChannelClock(int channel) const;
    void SetChannelSpeed(int channel, float value);
    void SetChannelWeight(int channel, float value);
    void SetChannelEaseIn(int channel, float value);
    void SetChannelFadeOut(int channel, float value);
    void SetSwitchTimes(int channel, float min, float max);

    int GetChannelCount() const { return int(channels.size()); }
    int GetSetCount() const { return setCount; }
    int GetAnimationCount() const { return animationCount; }
    int GetMaxVariations() const { return maxVariations; }
    // Null for an index out of range.
    Channel* GetChannel(int channel);
    const Channel* GetChannel(int channel) const;
    const std::string& GetName(int animation) const;
    int GetVariationCount(int set, int animation) const;
    int GetLoopCount(int set, int animation, int variation) const;
    AnimationControl* GetControl(int set, int animation, int variation) const;
    bool SharesTables() const { return shared.use_count() > 1; }

    // Tests and the network game draw from their own generator.
    void SetRandomSource(RandomSource source) { random = std::move(source); }

private:
    struct SharedTables {
        std::vector<std::string> names;
        std::vector<int> variationCounts; // [set][animation]
    };

    std::size_t Slot(int set, int animation, int variation) const;
    bool ValidChannel(int channel) const { return channel >= 0 && channel < int(channels.size()); }
    void Start(int channelIndex, Channel& channel);
    void StartVariation(Channel& channel, AnimationControl* control, int listedLoops);
    void RestartSwitchTimer(Channel& channel, AnimationControl* control, int loopCount);
    float RandomBetween(float low, float high);

    int setCount = 0;
    int animationCount = 0;
    int maxVariations = 0;
    AnimatedModel* model = nullptr;
    std::unique_ptr<AnimatedModel> ownedModel;
    AnimatedModel* syncModel = nullptr;
    int currentSet = 0;
    std::shared_ptr<SharedTables> shared;
    std::vector<AnimationControl*> controls; // [set][animation][variation]
    std::vector<int> loopCounts;              // [set][animation][variation], -1 none listed
    std::vector<Channel> channels;
    RandomSource random;
};
