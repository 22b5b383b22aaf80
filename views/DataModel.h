// The device list's model: one card per camera.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVector>

struct DevItem {
    int CameraID = 0;
    int ChannelID = 0;
    int DevState = 255; // 0 off line, 1 on line, 2 playing, 255 not yet known
    QString DevName;
    bool GroupHide = false;
    int ItemHeight = 0;
    QString DevType;
    QString NORMAL_INFO;
    QString ImagePage = QStringLiteral("../barIcon/CAM_OFFLINE.png");
    int WifiDB = 0;
    bool NORMAL_READY = false;
    bool SERVER_CHANGE = false;
    int IPC_TYPE = 0;
    int CLOUD_STATE = 0; // 0 off, 1 cloud storage, 2 memory card
};

class DataModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        CameraID = Qt::UserRole + 2,
        ChannelID,
        DevState,
        DevName,
        GroupHide,
        ItemHeight,
        DevType,
        NORMAL_INFO,
        ImagePage,
        WifiDB,
        NORMAL_READY,
        SERVER_CHANGE,
        IPC_TYPE,
        CLOUD_STATE,
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Writes the roles the list may change (not id, channel, name or type).
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    void append(const DevItem& item);
    void clear();
    // The row of the first card with the id; -1 when none.
    int findCamera(int cameraId) const;
    const DevItem* item(int row) const;

    // By role name; false or an invalid value for a row or name the model does not have.
    bool setRoleValue(int row, const QString& roleName, const QVariant& value);
    QVariant roleValue(int row, const QString& roleName) const;

private:
    int roleOf(const QString& roleName) const;

    QVector<DevItem> items_;
};
