#include "tools/demodata/DemoData.h"
void GenerateMenuImages(const DemoDataWriter&) {}
void GenerateArchives(const DemoDataWriter&) {}
