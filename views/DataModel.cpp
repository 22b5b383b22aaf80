#include "DataModel.h"

static_assert(DataModel::CameraID == 258 && DataModel::CLOUD_STATE == 271);

int DataModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : items_.size();
}

QVariant DataModel::data(const QModelIndex& index, int role) const
{
    const DevItem* card = index.isValid() ? item(index.row()) : nullptr;
    if (!card) return {};
    switch (role) {
    case CameraID: return card->CameraID;
    case ChannelID: return card->ChannelID;
    case DevState: return card->DevState;
    case DevName: return card->DevName;
    case GroupHide: return card->GroupHide;
    case ItemHeight: return card->ItemHeight;
    case DevType: return card->DevType;
    case NORMAL_INFO: return card->NORMAL_INFO;
    case ImagePage: return card->ImagePage;
    case WifiDB: return card->WifiDB;
    case NORMAL_READY: return card->NORMAL_READY;
    case SERVER_CHANGE: return card->SERVER_CHANGE;
    case IPC_TYPE: return card->IPC_TYPE;
    case CLOUD_STATE: return card->CLOUD_STATE;
    default: return {};
    }
}

bool DataModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= items_.size()) return false;
    DevItem& card = items_[index.row()];
    switch (role) {
    case DevState: card.DevState = value.toInt(); break;
    case GroupHide: card.GroupHide = value.toBool(); break;
    case ItemHeight: card.ItemHeight = value.toInt(); break;
    case NORMAL_INFO: card.NORMAL_INFO = value.toString(); break;
    case ImagePage: card.ImagePage = value.toString(); break;
    case WifiDB: card.WifiDB = value.toInt(); break;
    case NORMAL_READY: card.NORMAL_READY = value.toBool(); break;
    case SERVER_CHANGE: card.SERVER_CHANGE = value.toBool(); break;
    case IPC_TYPE: card.IPC_TYPE = value.toInt(); break;
    case CLOUD_STATE: card.CLOUD_STATE = value.toInt(); break;
    default: return false;
    }
    emit dataChanged(index, index, {role});
    return true;
}

QHash<int, QByteArray> DataModel::roleNames() const
{
    return {{CameraID, "CameraID"},       {ChannelID, "ChannelID"},     {DevState, "DevState"},
            {DevName, "DevName"},         {GroupHide, "GroupHide"},     {ItemHeight, "ItemHeight"},
            {DevType, "DevType"},         {NORMAL_INFO, "NORMAL_INFO"}, {ImagePage, "ImagePage"},
            {WifiDB, "WifiDB"},           {NORMAL_READY, "NORMAL_READY"}, {SERVER_CHANGE, "SERVER_CHANGE"},
            {IPC_TYPE, "IPC_TYPE"},       {CLOUD_STATE, "CLOUD_STATE"}};
}

void DataModel::append(const DevItem& card)
{
    beginInsertRows(QModelIndex(), items_.size(), items_.size());
    items_.append(card);
    endInsertRows();
}

void DataModel::clear()
{
    beginResetModel();
    items_.clear();
    endResetModel();
}

int DataModel::findCamera(int cameraId) const
{
    for (int row = 0; row < items_.size(); ++row)
        if (items_[row].CameraID == cameraId) return row;
    return -1;
}

const DevItem* DataModel::item(int row) const
{
    return row >= 0 && row < items_.size() ? &items_[row] : nullptr;
}

int DataModel::roleOf(const QString& roleName) const
{
    const QHash<int, QByteArray> names = roleNames();
    for (auto it = names.begin(); it != names.end(); ++it)
        if (roleName == QLatin1String(it.value())) return it.key();
    return -1;
}

bool DataModel::setRoleValue(int row, const QString& roleName, const QVariant& value)
{
    const int role = roleOf(roleName);
    return role >= 0 && setData(index(row), value, role);
}

QVariant DataModel::roleValue(int row, const QString& roleName) const
{
    const int role = roleOf(roleName);
    return role >= 0 ? data(index(row), role) : QVariant();
}
