#include "characters/ai/SteeringController.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine/core/LittleEndianReader.h"

namespace {

// The image as a sequence of little-endian fields, written and read in one order.
class ImageWriter {
public:
    explicit ImageWriter(std::uint8_t* bytes) : bytes(bytes) {}
    void U32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at++] = std::uint8_t(value >> (8 * i));
    }
    void Float(float value)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        U32(bits);
    }
    void Byte(std::uint8_t value) { bytes[at++] = value; }
    void Vector(const Vector3& v) { Float(v.x), Float(v.y), Float(v.z); }
    std::size_t Written() const { return at; }

private:
    std::uint8_t* bytes;
    std::size_t at = 0;
};

// One visit of every saved field in image order, for the writer and the reader alike.
template <class Controller, class Visitor>
void VisitImage(Controller& c, Visitor&& field)
{
    field.table();
    field.flag32(c.normalize1);
    field.number(c.weight1), field.vector(c.input1);
    field.number(c.weight2), field.vector(c.input2);
    field.flag8(c.normalize3);
    field.number(c.weight3), field.vector(c.input3);
    field.number(c.weight4), field.vector(c.input4);
    field.number(c.weight5), field.vector(c.input5);
    field.number(c.pathWeight), field.number(c.pathRadius), field.vector(c.pathInput);
    field.number(c.seekWeight), field.vector(c.seekInput);
    field.number(c.marker);
    field.number(c.weight8), field.vector(c.input8);
    field.number(c.weight9), field.vector(c.input9);
    field.number(c.weight10);
    for (auto& value : c.unused)
        field.number(value);
    field.vector(c.input10);
    field.vector(c.position);
    for (auto& value : c.transform.m)
        field.number(value);
}

Vector3 Normalised(Vector3 v)
{
    return v.Normalize();
}

} // namespace

SteeringController::SteeringController() = default;

void SteeringController::SetTransform(const Matrix4& matrix)
{
    transform = matrix;
    position = matrix.GetTranslation();
}

void SteeringController::FollowSegment(float lookAhead, const Vector3& a, const Vector3& b)
{
    const Vector3 d = Normalised(b - a);
    const Vector3 forward = GetForward();
    const bool along = Normalised(forward).Dot(d) >= 0.0f;
    const Vector3 predicted = along ? position + forward * lookAhead : position - forward * lookAhead;
    const Vector3 projection = a + d * d.Dot(predicted - a);
    if ((predicted - projection).Length() > pathRadius || !along)
        pathInput = Normalised(projection - position);
}

void SteeringController::Seek(const Vector3& point, const Matrix3& seekOrientation, float offset)
{
    const Vector3 ahead(seekOrientation(2, 0), seekOrientation(2, 1), seekOrientation(2, 2));
    seekInput = Normalised(point + ahead * offset - position);
}

Vector3 SteeringController::Combine()
{
    if (normalize1)
        input1.Normalize();
    if (normalize3)
        input3.Normalize();
    Vector3 sum = input1 * weight1 + input2 * weight2 + input3 * weight3 + input4 * weight4 + input5 * weight5 +
                  pathInput * pathWeight + seekInput * seekWeight + input8 * weight8 + input9 * weight9 +
                  input10 * weight10;
    sum.Normalize();

    normalize1 = false;
    normalize3 = false;
    for (Vector3* input : {&input1, &input2, &input3, &input4, &input5, &pathInput, &seekInput, &input8, &input9,
                           &input10})
        input->Clear();
    marker = -1.0f;

    if (sum.x != 0.0f || sum.y != 0.0f || sum.z != 0.0f)
        return sum;
    return GetForward();
}

float SteeringController::GetTurnAngle()
{
    const Vector3 heading = Combine();
    const Vector3 forward = GetForward();
    const float forwardLength = std::sqrt(forward.x * forward.x + forward.z * forward.z);
    const float headingLength = std::sqrt(heading.x * heading.x + heading.z * heading.z);
    // A heading straight up or down (or a forward axis without a flat part) asks for no turn.
    if (!(forwardLength > 0.0f) || !(headingLength > 0.0f))
        return 0.0f;
    float cosine = (forward.x * heading.x + forward.z * heading.z) / (forwardLength * headingLength);
    cosine = cosine < -1.0f ? -1.0f : (cosine > 1.0f ? 1.0f : cosine);
    const float angle = std::acos(cosine);
    return forward.z * heading.x - heading.z * forward.x < 0.0f ? -angle : angle;
}

void SteeringController::WriteImage(std::uint8_t (&image)[kImageSize]) const
{
    struct {
        ImageWriter out;
        void table() { out.U32(0); }
        void flag32(bool value) { out.U32(value ? 1 : 0); }
        void flag8(bool value) { out.Byte(value ? 1 : 0), out.Byte(0), out.Byte(0), out.Byte(0); }
        void number(float value) { out.Float(value); }
        void vector(const Vector3& value) { out.Vector(value); }
    } writer{ImageWriter(image)};
    VisitImage(*this, writer);
}

bool SteeringController::ReadImage(const std::uint8_t (&image)[kImageSize])
{
    SteeringController read;
    struct {
        LittleEndianReader in;
        bool beyond = false;
        // Finite numbers beyond any map or weight would still overflow the blend into a turn
        // that is not a number.
        float Bounded(float value)
        {
            beyond = beyond || std::fabs(value) > kMaxImageValue;
            return value;
        }
        void table() { in.U32(); }
        void flag32(bool& value) { value = in.U32() != 0; }
        void flag8(bool& value) { value = in.U8() != 0, in.Skip(3); }
        void number(float& value) { value = Bounded(in.FiniteF32()); }
        void vector(Vector3& value)
        {
            value = in.FiniteVector3();
            Bounded(value.x), Bounded(value.y), Bounded(value.z);
        }
    } reader{LittleEndianReader(image, sizeof image)};
    VisitImage(read, reader);
    if (reader.in.Failed() || reader.beyond)
        return false;
    *this = read;
    return true;
}
