#include "menus/PathEditor.h"

PathEditor* PathEditor::Instance()
{
    return SingletonInstance<PathEditor>();
}
