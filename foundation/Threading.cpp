#include "foundation/Threading.h"

int AttachThread()
{
    return 1;
}

void DetachThread()
{
}
