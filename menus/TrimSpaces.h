#pragma once

// Removes one leading blank and every trailing blank of the text, in place (null is ignored).
void TrimSpaces(char* text);
