#include "menus/Bio.h"

Bio* Bio::Instance()
{
    return SingletonInstance<Bio>();
}
