#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <string>

#include "characters/ai/AISensor.h"
#include "characters/ai/AIStats.h"
#include "tests/fuzz/ScratchFile.h"

namespace readers {

std::string ReadAITextBytes(const std::uint8_t* data, std::size_t size)
{
    AIStats stats;
    AISensor sensor;
    {
        const ScratchFile file("ai-fuzz", ".txt", data, size);
        if (!file.written)
            return {};
        stats.Load(file.path.c_str());
        sensor.Load(file.path.c_str());
    }

    if (stats.count < 0 || (stats.count > 0 && !stats.entries))
        return "the statistics table does not match its count";
    for (int i = 0; i < stats.count; ++i)
        if (!std::isfinite(stats.entries[i].value))
            return "a statistics value is not finite";
    for (float value : {sensor.soundFullDistance, sensor.hearingRange, sensor.soundWeight, sensor.viewConeCos,
                        sensor.sightRange, sensor.sightWeight, sensor.thirdRange, sensor.thirdWeight})
        if (!std::isfinite(value) || std::fabs(value) > AISensor::kMaxValue)
            return "a sensor value is not finite or beyond its bound";
    // A source in front of the eye, as the AI senses every frame: its stimuli stay finite.
    StimulusSource source;
    source.position = Vector3(0.0f, 0.0f, 5.0f);
    source.visibility = source.noise = source.size = 1.0f;
    SenseResult result;
    const float total = sensor.Sense(source, nullptr, result, 1.0f, 0.0f);
    if (!std::isfinite(total) || !std::isfinite(result.sight) || !std::isfinite(result.sound) ||
        !std::isfinite(result.third))
        return "a stimulus is not finite";
    return {};
}

} // namespace readers
