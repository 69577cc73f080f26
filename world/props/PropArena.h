#pragma once

#include <new>

#include "app/framework/ArenaAlloc.h"
#include "world/props/Prop.h"

template <typename T>
Prop* MakeArenaProp(PropFactory kind)
{
    void* memory = ArenaAlloc(sizeof(T));
    if (!memory)
        return nullptr;
    T* prop = new (memory) T();
    prop->kind = kind;
    return prop;
}
