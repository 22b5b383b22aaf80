// The widget that embeds the OpenGL video window in a widget layout.
#ifndef OSTRELS_PLAYER_QNIPLAYERWIN_H
#define OSTRELS_PLAYER_QNIPLAYERWIN_H

#include <QWidget>

class qnPlayerWinImpl;

class qnIPlayerWin : public QWidget {
    Q_OBJECT
public:
    explicit qnIPlayerWin(QWidget* parent = nullptr);
    ~qnIPlayerWin() override;

    void createWind(int x, int y, int width, int height, QWidget* parent);
    void showWind(bool on);
    void setGeometryWind(int x, int y, int width, int height);
    void resizeWind(int width, int height);
    void clearWindow();
    void setHold(bool on);
    bool capture(const char* path);
    void setViewValue(int first, int second);
    void releaseWind();

    qnPlayerWinImpl* window() const { return window_; }
    QWidget* container() const { return container_; }
    bool created() const { return created_; }
    bool visibleFlag() const { return visible_; }
    bool firstFlag() const { return firstFlag_; }
    bool secondFlag() const { return secondFlag_; }
    void setFirstFlag(bool on) { firstFlag_ = on; }
    // The second flag comes with a value the owner keeps beside it.
    void setSecondFlag(bool on, int value)
    {
        secondFlag_ = on;
        value_ = value;
    }
    int value() const { return value_; }

private:
    void destroyWindow();

    bool created_ = false;
    bool visible_ = false;
    bool firstFlag_ = false;
    bool secondFlag_ = false;
    int value_ = 0;
    qnPlayerWinImpl* window_ = nullptr;
    QWidget* container_ = nullptr;
};

#endif
