#pragma once

#include "engine/core/MathConstants.h"

// A point or direction; points are row vectors transformed as v x M.
struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float x, float y, float z) : x(x), y(y), z(z) {}

    // Component access by axis (0 = x, 1 = y, 2 = z).
    float& operator[](int axis) { return axis == 0 ? x : (axis == 1 ? y : z); }
    float operator[](int axis) const { return axis == 0 ? x : (axis == 1 ? y : z); }

    Vector3& Add(const Vector3& other);
    Vector3& Subtract(const Vector3& other);
    Vector3& Scale(float s);
    Vector3& Divide(float s); // multiplies by 1 / s

    Vector3& Subtract3(const Vector3& other, Vector3& destination) const; // destination = this - other
    Vector3& Scaled(float s, Vector3& destination) const;                 // destination = this x s
    Vector3& Cross(const Vector3& a, const Vector3& b);                   // this = a x b

    float Dot(const Vector3& other) const { return x * other.x + y * other.y + z * other.z; }
    float Length() const;
    float LengthSquared() const { return Dot(*this); }
    float Distance(const Vector3& other) const;
    float DistanceSquared(const Vector3& other) const;

    Vector3& Normalize(); // a zero vector stays unchanged
    Vector3& Lerp(const Vector3& a, const Vector3& b, float t); // this = a + (b - a) x t
    Vector3& Clear() { x = y = z = 0.0f; return *this; }

    Vector3 operator-() const { return {-x, -y, -z}; }
    Vector3& operator+=(const Vector3& o) { return Add(o); }
    Vector3& operator-=(const Vector3& o) { return Subtract(o); }
    Vector3& operator*=(float s) { return Scale(s); }
    friend Vector3 operator+(Vector3 a, const Vector3& b) { return a.Add(b); }
    friend Vector3 operator-(Vector3 a, const Vector3& b) { return a.Subtract(b); }
    friend Vector3 operator*(Vector3 a, float s) { return a.Scale(s); }
    friend Vector3 operator*(float s, Vector3 a) { return a.Scale(s); }
    friend bool operator==(const Vector3& a, const Vector3& b) = default;
};

inline Vector3 Cross(const Vector3& a, const Vector3& b) { return Vector3().Cross(a, b); }
inline float Dot(const Vector3& a, const Vector3& b) { return a.Dot(b); }

struct Vector4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr Vector4() = default;
    constexpr Vector4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
    constexpr Vector4(const Vector3& v, float w) : x(v.x), y(v.y), z(v.z), w(w) {}

    friend bool operator==(const Vector4& a, const Vector4& b) = default;
};
