#include "characters/body/AnimationController.h"

#include <algorithm>
#include <string_view>

#include "characters/body/AnimationCache.h"
#include "characters/body/AnimationTables.h"
#include "engine/core/EngineLog.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/RandomMT.h"

namespace {

constexpr const char* kLowerBodyFolder = "GameData/Models/LowerBody/";
constexpr const char* kSharedOptions = "GameData/Models/Lowerbody/animoptions.txt";

// The shared generator the controllers draw variations and switch times from.
std::uint32_t SharedRandom()
{
    return randomMT();
}

std::string Join(const std::string& folder, const std::string& file)
{
    return folder + file;
}

} // namespace

AnimationController::AnimationController(const char* folder, int channelCount, int setCount, int animationCount,
                                         int maxVariations)
    : setCount(std::max(setCount, 0)),
      animationCount(std::max(animationCount, 0)),
      maxVariations(std::max(maxVariations, 0)),
      shared(std::make_shared<SharedTables>()),
      channels(std::size_t(std::max(channelCount, 0))),
      random(SharedRandom)
{
    const std::string path = std::string(folder ? folder : "") + "animinfo.txt";
    shared->names = ReadAnimationNames(path.c_str(), std::size_t(this->animationCount));
    shared->names.resize(std::size_t(this->animationCount));
    shared->variationCounts.assign(std::size_t(this->setCount) * std::size_t(this->animationCount), 0);
    const std::size_t slots = std::size_t(this->setCount) * std::size_t(this->animationCount) * std::size_t(this->maxVariations);
    controls.assign(slots, nullptr);
    loopCounts.assign(slots, -1);
}

AnimationController::AnimationController(const AnimationController& other)
    : setCount(other.setCount),
      animationCount(other.animationCount),
      maxVariations(other.maxVariations),
      shared(other.shared),
      channels(other.channels.size()),
      random(other.random)
{
    controls.assign(other.controls.size(), nullptr);
    loopCounts.assign(other.loopCounts.size(), -1);
}

AnimationController::~AnimationController()
{
    // The controls belong to the model, which frees them with itself.
    if (model)
        model->StopAnimation(0.0f, nullptr, false);
    if (ownedModel)
        ownedModel->Release();
}

void AnimationController::LoadModel(Device* device, const char* path)
{
    auto created = std::make_unique<AnimatedModel>();
    try {
        created->Load(device, path, nullptr);
    } catch (...) {
        created->Release();
        throw;
    }
    if (ownedModel)
        ownedModel->Release();
    ownedModel = std::move(created);
    model = ownedModel.get();
}

void AnimationController::SetModel(AnimatedModel* newModel)
{
    model = newModel;
}

void AnimationController::CopySharedTables(const AnimationController& other)
{
    setCount = other.setCount;
    animationCount = other.animationCount;
    maxVariations = other.maxVariations;
    shared = other.shared;
    const std::size_t slots = std::size_t(setCount) * std::size_t(animationCount) * std::size_t(maxVariations);
    controls.assign(slots, nullptr);
    loopCounts.assign(slots, -1);
}

std::size_t AnimationController::Slot(int set, int animation, int variation) const
{
    return (std::size_t(set) * std::size_t(animationCount) + std::size_t(animation)) * std::size_t(maxVariations) +
           std::size_t(variation);
}

void AnimationController::LoadAnimationSet(int set, const char* folder)
{
    if (!model || set < 0 || set >= setCount || !folder)
        return;
    std::vector<AnimationOption> options;
    ReadAnimationOptions((std::string(folder) + "animoptions.txt").c_str(), options);
    ReadAnimationOptions(kSharedOptions, options);

    for (int animation = 0; animation < animationCount; ++animation) {
        const std::string& name = shared->names[std::size_t(animation)];
        int& count = shared->variationCounts[std::size_t(set) * std::size_t(animationCount) + std::size_t(animation)];
        count = 0;
        if (name.empty() || maxVariations == 0)
            continue;
        std::string where = folder;
        if (!AnimationFileExists(Join(where, VariationFileName(name, 1)).c_str())) {
            where = kLowerBodyFolder;
            if (!AnimationFileExists(Join(where, VariationFileName(name, 1)).c_str()))
                continue;
        }
        int found = 1;
        while (found < maxVariations && AnimationFileExists(Join(where, VariationFileName(name, found + 1)).c_str()))
            ++found;
        // A folder holding more variation files than the controller looks for keeps the first ones.
        if (found == maxVariations && AnimationFileExists(Join(where, VariationFileName(name, found + 1)).c_str()))
            LogToEngine("More than %d variations of %s in %s; the rest are ignored", maxVariations, name.c_str(),
                        where.c_str());
        for (int v = 0; v < found; ++v) {
            const std::string file = VariationFileName(name, v + 1);
            AnimationControl* control = model->LoadAnimation(Join(where, file).c_str());
            const std::size_t slot = Slot(set, animation, v);
            controls[slot] = control;
            const AnimationOption* option = FindAnimationOption(options, file);
            loopCounts[slot] = ListedLoopCount(options, file);
            if (option && option->hasSpeed && control)
                model->SetSpeed(option->speed, control);
            if (control)
                model->SetLoopCount(option ? option->loopCount : 0, control);
        }
        count = found;
    }
}

void AnimationController::CopyChannels(const AnimationController& other, bool rebindModel)
{
    // The variation counts go with the variations (a squad soldier's controller read its own
    // names but loaded no set).
    if (shared != other.shared && other.setCount == setCount && other.animationCount == animationCount &&
        other.maxVariations == maxVariations)
        shared = other.shared;
    if (rebindModel && model && other.model && model != other.model) {
        model->CopyAnimationsFrom(*other.model);
        // The copies stand in the same order as the other model's list: map each control across.
        const auto& mine = model->GetAnimations();
        const auto& theirs = other.model->GetAnimations();
        controls.assign(other.controls.size(), nullptr);
        for (std::size_t i = 0; i < other.controls.size(); ++i) {
            if (!other.controls[i])
                continue;
            const auto at = std::find(theirs.begin(), theirs.end(), other.controls[i]);
            const std::size_t index = std::size_t(at - theirs.begin());
            if (at != theirs.end() && index < mine.size())
                controls[i] = mine[index];
        }
    } else {
        controls = other.controls;
    }
    loopCounts = other.loopCounts;
}

void AnimationController::Request(int channel, int animation)
{
    if (ValidChannel(channel))
        channels[std::size_t(channel)].requested = animation;
}

void AnimationController::Enqueue(int channel, int animation)
{
    if (ValidChannel(channel))
        channels[std::size_t(channel)].queue.push_back(animation);
}

float AnimationController::RandomBetween(float low, float high)
{
    const float unit = float(random() % 32768u) / 32767.0f;
    return low + (high - low) * unit;
}

void AnimationController::RestartSwitchTimer(Channel& channel, AnimationControl* control, int loopCount)
{
    if (loopCount < 0 || !model || !control)
        channel.switchTimer = RandomBetween(channel.switchMin, channel.switchMax);
    else
        channel.switchTimer = model->GetDuration(control) - 0.2f;
}

void AnimationController::StartVariation(Channel& channel, AnimationControl* control, int listedLoops)
{
    if (channel.speed != 1.0f)
        model->SetSpeed(channel.speed, control);
    model->SetWeight(channel.weight, control);
    model->SetEaseInTime(channel.easeIn, control);
    // A one-shot request plays once; otherwise the variation loops as its options line says.
    model->SetLoopCount(channel.loop ? std::max(listedLoops, 0) : 1, control);
    model->PlayAnimation(0.0f, control, syncModel);
    if (channel.startOffset != 0.0f) {
        const float duration = model->GetDuration(control);
        float offset = channel.startOffset;
        if (duration > 0.0f && offset >= duration)
            offset = duration - 0.1f;
        model->SetClock(offset, control);
        channel.startOffset = 0.0f;
    }
}

void AnimationController::Start(int channelIndex, Channel& channel)
{
    (void)channelIndex;
    const int animation = channel.requested;
    if (animation < 0 || animation >= animationCount || currentSet < 0 || currentSet >= setCount) {
        channel.playing = channel.requested;
        return;
    }
    const int count = GetVariationCount(currentSet, animation);
    if (count <= 0) {
        LogToEngine("Tried to play animation with no variations: %s!", GetName(animation).c_str());
        channel.playing = channel.requested;
        return;
    }
    int choice = count == 1 ? 0 : int(random() % std::uint32_t(count));
    if (channel.forcedVariationOnce != -1) {
        choice = channel.forcedVariationOnce;
        channel.forcedVariationOnce = -1;
    }
    if (channel.forcedVariation != -1)
        choice = channel.forcedVariation;
    if (choice < 0 || choice >= count)
        choice = 0;
    channel.variation = choice;
    AnimationControl* control = controls[Slot(currentSet, animation, choice)];
    if (!control || !model) {
        LogToEngine("Attempted to play %s", GetName(animation).c_str());
    } else {
        StartVariation(channel, control, loopCounts[Slot(currentSet, animation, choice)]);
    }
    RestartSwitchTimer(channel, control, loopCounts[Slot(currentSet, animation, choice)]);
    channel.playing = channel.requested;
}

void AnimationController::Update(float elapsed)
{
    for (std::size_t c = 0; c < channels.size(); ++c) {
        Channel& channel = channels[c];
        if (channel.requested != channel.playing) {
            if (channel.playing >= 0 && model) {
                if (AnimationControl* playing = GetVariationControl(int(c)))
                    model->StopAnimation(channel.fadeOut, playing, channel.easeOutOnStop);
            }
            if (channel.requested < 0 && !channel.queue.empty()) {
                channel.requested = channel.queue.front();
                channel.queue.pop_front();
            }
            Start(int(c), channel);
            continue;
        }
        AnimationControl* control = GetVariationControl(int(c));
        if (!control || !model)
            continue;
        if (model->IsPlaying(control)) {
            const int count = GetVariationCount(currentSet, channel.playing);
            const bool switching = channel.switchMin != kNoSwitch || channel.switchMax != kNoSwitch;
            if (count >= 2 && switching && loopCounts[Slot(currentSet, channel.playing, 0)] != 1) {
                channel.switchTimer -= elapsed;
                if (channel.switchTimer < 0.0f) {
                    int next = channel.variation;
                    if (channel.forcedVariation >= 0 && channel.forcedVariation < count)
                        next = channel.forcedVariation;
                    else
                        next = (channel.variation + 1 + int(random() % std::uint32_t(count - 1))) % count;
                    AnimationControl* replacement = controls[Slot(currentSet, channel.playing, next)];
                    if (replacement) {
                        model->StopAnimation(channel.fadeOut, control, channel.easeOutOnStop);
                        channel.variation = next;
                        StartVariation(channel, replacement, loopCounts[Slot(currentSet, channel.playing, next)]);
                    }
                    RestartSwitchTimer(channel, replacement, loopCounts[Slot(currentSet, channel.playing, next)]);
                }
            }
            continue;
        }
        // Finished.
        if (channel.stopWhenDone) {
            model->StopAnimation(0.0f, control, false);
            channel.stopWhenDone = false;
            channel.playing = channel.requested = -1;
        }
        if (!channel.queue.empty()) {
            channel.requested = channel.queue.front();
            channel.queue.pop_front();
            if (channel.playing >= 0)
                model->StopAnimation(channel.fadeOut, control, channel.easeOutOnStop);
            Start(int(c), channel);
        }
    }
}

void AnimationController::StopChannel(int channel, float fade)
{
    if (!ValidChannel(channel))
        return;
    Channel& ch = channels[std::size_t(channel)];
    if (AnimationControl* control = GetVariationControl(channel)) {
        const float time = fade <= -1.0f ? ch.fadeOut : fade;
        model->StopAnimation(time, control, ch.easeOutOnStop);
    }
    ch.playing = ch.requested = -1;
}

void AnimationController::StopAll(float fade)
{
    for (int c = 0; c < int(channels.size()); ++c)
        StopChannel(c, fade);
}

void AnimationController::SetAnimationSet(int set)
{
    StopAll(-1.0f);
    currentSet = set;
}

AnimationControl* AnimationController::GetVariationControl(int channel) const
{
    if (!ValidChannel(channel))
        return nullptr;
    const Channel& ch = channels[std::size_t(channel)];
    if (ch.playing < 0 || ch.playing >= animationCount || currentSet < 0 || currentSet >= setCount ||
        ch.variation < 0 || ch.variation >= maxVariations)
        return nullptr;
    return controls[Slot(currentSet, ch.playing, ch.variation)];
}

int AnimationController::GetChannelAnimation(int channel) const
{
    return ValidChannel(channel) ? channels[std::size_t(channel)].playing : -1;
}

int AnimationController::GetChannelVariation(int channel) const
{
    return ValidChannel(channel) ? channels[std::size_t(channel)].variation : -1;
}

bool AnimationController::IsPlaying(int channel) const
{
    AnimationControl* control = GetVariationControl(channel);
    return control && model && model->IsPlaying(control);
}

bool AnimationController::IsRequestPending(int channel) const
{
    if (!ValidChannel(channel))
        return false;
    const Channel& ch = channels[std::size_t(channel)];
    return ch.requested >= 0 && ch.requested != ch.playing;
}

float AnimationController::GetChannelClock(int channel) const
{
    if (!ValidChannel(channel))
        return -1.0f;
    AnimationControl* control = GetVariationControl(channel);
    return control && model ? model->GetClock(control) : 0.0f;
}

void AnimationController::SetChannelSpeed(int channel, float value)
{
    if (!ValidChannel(channel))
        return;
    channels[std::size_t(channel)].speed = value;
    if (AnimationControl* control = GetVariationControl(channel))
        model->SetSpeed(value, control);
}

void AnimationController::SetChannelWeight(int channel, float value)
{
    if (!ValidChannel(channel))
        return;
    channels[std::size_t(channel)].weight = value;
    if (AnimationControl* control = GetVariationControl(channel))
        model->SetWeight(value, control);
}

void AnimationController::SetChannelEaseIn(int channel, float value)
{
    if (!ValidChannel(channel))
        return;
    channels[std::size_t(channel)].easeIn = value;
    if (AnimationControl* control = GetVariationControl(channel))
        model->SetEaseInTime(value, control);
}

void AnimationController::SetChannelFadeOut(int channel, float value)
{
    if (ValidChannel(channel))
        channels[std::size_t(channel)].fadeOut = value;
}

void AnimationController::SetSwitchTimes(int channel, float min, float max)
{
    if (!ValidChannel(channel))
        return;
    channels[std::size_t(channel)].switchMin = min;
    channels[std::size_t(channel)].switchMax = max;
}

AnimationController::Channel* AnimationController::GetChannel(int channel)
{
    return ValidChannel(channel) ? &channels[std::size_t(channel)] : nullptr;
}

const AnimationController::Channel* AnimationController::GetChannel(int channel) const
{
    return ValidChannel(channel) ? &channels[std::size_t(channel)] : nullptr;
}

const std::string& AnimationController::GetName(int animation) const
{
    static const std::string none;
    if (animation < 0 || animation >= int(shared->names.size()))
        return none;
    return shared->names[std::size_t(animation)];
}

int AnimationController::GetVariationCount(int set, int animation) const
{
    if (set < 0 || set >= setCount || animation < 0 || animation >= animationCount)
        return 0;
    return shared->variationCounts[std::size_t(set) * std::size_t(animationCount) + std::size_t(animation)];
}

int AnimationController::GetLoopCount(int set, int animation, int variation) const
{
    if (set < 0 || set >= setCount || animation < 0 || animation >= animationCount || variation < 0 ||
        variation >= maxVariations)
        return -1;
    return loopCounts[Slot(set, animation, variation)];
}

AnimationControl* AnimationController::GetControl(int set, int animation, int variation) const
{
    if (set < 0 || set >= setCount || animation < 0 || animation >= animationCount || variation < 0 ||
        variation >= maxVariations)
        return nullptr;
    return controls[Slot(set, animation, variation)];
}
