#include "app/framework/Widget.h"

#include <cstring>

Widget::Widget(int x, int y, int width, int height) : x(x), y(y), width(width), height(height) {}

int Widget::Run(Device*, int, int)
{
    return 0;
}

bool Widget::HitTest(int testX, int testY)
{
    return testX >= x && testX < x + width && testY >= y && testY < y + height && enabled;
}

void Widget::SetTooltip(const char* text)
{
    const std::size_t length = text ? strnlen(text, TooltipSize - 1) : 0;
    if (length)
        std::memcpy(tooltip, text, length);
    tooltip[length] = '\0';
}
