#pragma once

#include <functional>
#include <string>

#include "engine/core/q3DError.h"

// The text of the q3DError the action throws, or "" when it throws none.
inline std::string ErrorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const q3DError& e) {
        return e.GetText();
    }
    return "";
}
