#include "support/qt_test_env.h"

namespace qt_test {

int StandInController::count(const QString& slot) const
{
    int n = 0;
    for (const Call& call : calls) n += call.slot == slot;
    return n;
}

std::vector<int> StandInController::last(const QString& slot) const
{
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->slot == slot) return it->args;
    return {};
}

void StandInController::dragSlot(int xoffset, int yoffset)
{
    record("dragSlot", {xoffset, yoffset});
    emit dragged(xoffset, yoffset);
}

} // namespace qt_test
