#include "engine/core/HitResult.h"

void HitResult::Clear()
{
    *this = HitResult();
}
