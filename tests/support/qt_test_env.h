// What the Qt tests share: the display the tests run on, waiting while the
// event loop runs, and a stand-in for the controller that records its slots.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QObject>
#include <QString>

#include "support/wait_until.h"

namespace qt_test {

// The private Xvfb's display; empty on the offscreen platform or when Xvfb is missing.
const std::string& XDisplay();

// Runs the event loop until the condition holds (or the generous event bound passes).
template <typename Condition>
bool ProcessUntil(Condition&& condition)
{
    return testing_support::WaitUntil([&] {
        QCoreApplication::processEvents();
        return condition();
    });
}

// Stands in for the main window controller: the slots carry its signatures
// and record every call as its name and arguments.
class StandInController : public QObject {
    Q_OBJECT
public:
    struct Call {
        QString slot;
        std::vector<int> args;
    };
    std::vector<Call> calls;

    int count(const QString& slot) const;
    // The arguments of the last call of the slot; empty when it never came.
    std::vector<int> last(const QString& slot) const;

public slots:
    void exitAppSlot() { record("exitAppSlot", {}); }
    void maxSizeWinSlot(bool max) { record("maxSizeWinSlot", {max}); }
    void minSizeWinSlot() { record("minSizeWinSlot", {}); }
    void userSlot() { record("userSlot", {}); }
    void openMenuSlot() { record("openMenuSlot", {}); }
    void dragSlot(int xoffset, int yoffset);
    void itemDBClickSlot(int cameraId, int channel) { record("itemDBClickSlot", {cameraId, channel}); }
    void itemSettingSlot(int cameraId) { record("itemSettingSlot", {cameraId}); }
    void itemRClickSlot(int a, int b, int c) { record("itemRClickSlot", {a, b, c}); }
    void serverChangeSlot(int cameraId) { record("serverChangeSlot", {cameraId}); }
    void ptzCtrlClickSlot(int command, int speed) { record("ptzCtrlClickSlot", {command, speed}); }
    void ptzSpeedChanedSlot(int speed) { record("ptzSpeedChanedSlot", {speed}); }
    void selectDateSlot() { record("selectDateSlot", {}); }

signals:
    void dragged(int xoffset, int yoffset);

private:
    void record(const char* slot, std::vector<int> args) { calls.push_back({QString::fromLatin1(slot), std::move(args)}); }
};

} // namespace qt_test
