#include "SendProgress.h"

int SendProgress::StepsDone(int width) const
{
    return total == 0 ? 0 : static_cast<int>(static_cast<std::size_t>(width) * index / total);
}
