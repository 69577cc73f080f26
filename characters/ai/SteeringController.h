#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"

// Blends the directions an AI's behaviours post each update (each with a weight) into one
// heading and tells how far to turn to face it. Every combination clears the inputs, so a
// behaviour that stops posting stops steering. Inputs 1-5 and 8-10 are written directly by the
// behaviours; the path input by FollowSegment and the seek input by Seek.
class SteeringController {
public:
    // The saved image: the fields in order, as the 268-byte record with its 4-byte table pointer
    // first (written as 0) and 3 padding bytes after normalize3.
    static constexpr std::size_t kImageSize = 268;
    // The largest magnitude a number of a read image may have.
    static constexpr float kMaxImageValue = 1.0e6f;

    SteeringController();
    virtual ~SteeringController() = default;

    // transform = matrix, position = its translation.
    void SetTransform(const Matrix4& matrix);
    // Steers back towards the segment from a to b when the point lookAhead ahead (behind, when
    // facing against the segment) strays more than pathRadius from its line.
    void FollowSegment(float lookAhead, const Vector3& a, const Vector3& b);
    // seekInput = the direction from position to point + orientation's third row x offset.
    void Seek(const Vector3& point, const Matrix3& seekOrientation, float offset);
    // The weighted sum of the inputs, normalised; the forward axis when it is zero. Clears the
    // inputs (weights and pathRadius stay).
    Vector3 Combine();
    // Combines, then the signed horizontal angle (radians) from the forward axis to the heading;
    // 0 when either has no horizontal part.
    float GetTurnAngle();

    Vector3 GetForward() const { return {transform.m[8], transform.m[9], transform.m[10]}; }

    void WriteImage(std::uint8_t (&image)[kImageSize]) const;
    // False, with nothing changed, when a number of the image is not finite or beyond
    // kMaxImageValue.
    bool ReadImage(const std::uint8_t (&image)[kImageSize]);

    bool normalize1 = false;
    float weight1 = 0.0f;
    Vector3 input1;
    float weight2 = 0.0f;
    Vector3 input2;
    bool normalize3 = false;
    float weight3 = 0.0f;
    Vector3 input3;
    float weight4 = 0.0f;
    Vector3 input4;
    float weight5 = 0.0f;
    Vector3 input5;
    float pathWeight = 0.0f;
    float pathRadius = 0.0f;
    Vector3 pathInput;
    float seekWeight = 0.0f;
    Vector3 seekInput;
    float marker = -1.0f;
    float weight8 = 0.0f;
    Vector3 input8;
    float weight9 = 0.0f;
    Vector3 input9;
    float weight10 = 0.0f;
    float unused[3] = {};
    Vector3 input10;
    Vector3 position;
    Matrix4 transform;
};
