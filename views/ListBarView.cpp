#include "ListBarView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QQmlContext>
#include <QUrl>

#include "Depend/qn_folders.h"
#include "Depend/qn_log.h"
#include "device_card.h"
#include "device_file_name.h"
#include "ui_variant.h"

namespace {

constexpr int kItemHeight = 95;

QString ImagesFolder()
{
    wchar_t folder[4096] = {};
    QNGetImagesPath(folder, 4096);
    return QString::fromWCharArray(folder);
}

QString FileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path).toString();
}

} // namespace

ListBarView::ListBarView(QWidget* parent) : QWidget(parent), host_(this, views::HostKind::Bar) {}

void ListBarView::init(QWidget* parent, const QRect& rect, QObject* controller)
{
    setParent(parent);
    rect_ = rect;
    if (host_.load(views::PanelUrl("DEVICELIST.qml"),
                   {{QStringLiteral("pListBar"), this}, {QStringLiteral("groupModel"), &groupModel_}})) {
        emit initFATSignal(views::kUiVariant);
        emit initComponentSizeSignal(rect.width(), rect.height());
        if (controller)
            host_.connectRoot(SIGNAL(itemRClickSignal(int,int,int)), controller, SLOT(itemRClickSlot(int,int,int)));
        host_.connectRoot(SIGNAL(itemDBClickSignal(int,int)), this, SLOT(itemDBClickSlot(int,int)));
        host_.connectRoot(SIGNAL(itemSettingSignal(int)), this, SLOT(itemSettingSlot(int)));
        host_.connectRoot(SIGNAL(serverChangeSignal(int)), this, SLOT(serverChangeSlot(int)));
        host_.connectRoot(SIGNAL(ptzClickSignal(int,int)), this, SLOT(ptzClickSlot(int,int)));
    }
    host_.embed(QRect(0, 0, rect.width(), rect.height()));
}

QString ListBarView::pictureUrl(const QnCameraEntry& entry, const char* placeholder) const
{
    const QString images = ImagesFolder();
    const std::string name = DeviceFileName(device_card::FieldText(entry.deviceText, sizeof entry.deviceText)
                                                .toLocal8Bit()
                                                .toStdString());
    if (!name.empty()) {
        const QString snapshot = images + QString::fromLocal8Bit(name.c_str()) + QStringLiteral(".jpg");
        if (QFileInfo(snapshot).isReadable()) return FileUrl(snapshot);
    }
    return FileUrl(images + QLatin1String(placeholder));
}

void ListBarView::setDevList(const QnCameraRecord* records, int count)
{
    if (!host_.view() || (!records && count > 0)) return;
    for (int i = 0; i < count; ++i) {
        const QnCameraRecord& record = records[i];
        DevItem card;
        card.CameraID = record.entry.cameraId;
        card.ChannelID = i;
        card.DevState = record.online;
        card.DevName = device_card::DisplayName(record.entry);
        card.ItemHeight = kItemHeight;
        card.DevType = QString(QChar(record.entry.cameraType));
        card.WifiDB = WifiWord(record, kWifiLevelWord);
        card.NORMAL_READY = record.hasThumbnail != 0;
        card.SERVER_CHANGE = device_card::FieldText(record.entry.region, sizeof record.entry.region) !=
                             device_card::FieldText(record.regionCode, sizeof record.regionCode);
        card.IPC_TYPE = record.entry.cameraType;
        card.CLOUD_STATE = device_card::CloudState(record);
        card.ImagePage = pictureUrl(record.entry, "ADefault_0");
        groupModel_.append(card);
    }
    host_.view()->rootContext()->setContextProperty(QStringLiteral("groupModel"), &groupModel_);
    emit updateSignal(true);
}

void ListBarView::refreshPicture(int row, const QnCameraRecord& record)
{
    // An empty source first, so that the document reads a rewritten file again.
    groupModel_.setRoleValue(row, QStringLiteral("ImagePage"), QString());
    groupModel_.setRoleValue(row, QStringLiteral("ImagePage"),
                             pictureUrl(record.entry, record.online == 1 ? "ADefault_1" : "ADefault_0"));
}

void ListBarView::updateDev(int cameraId, const QnCameraRecord& record, int language)
{
    const int row = groupModel_.findCamera(cameraId);
    if (row < 0) return;
    const QString info = device_card::InfoText(record, language);
    const QByteArray logged = info.toUtf8();
    QNLogPrint(" %s(%d) IPC Info:%s\n", __FUNCTION__, __LINE__, logged.constData());
    groupModel_.setRoleValue(row, QStringLiteral("NORMAL_INFO"), info);
    groupModel_.setRoleValue(row, QStringLiteral("WifiDB"), WifiWord(record, kWifiLevelWord));
    groupModel_.setRoleValue(row, QStringLiteral("NORMAL_READY"), record.queried != 0);
    groupModel_.setRoleValue(row, QStringLiteral("IPC_TYPE"), record.entry.cameraType);
    groupModel_.setRoleValue(row, QStringLiteral("CLOUD_STATE"), device_card::CloudState(record));
    refreshPicture(row, record);
}

void ListBarView::updateDevState(const QnCameraRecord& record, int state)
{
    const int row = groupModel_.findCamera(record.entry.cameraId);
    if (row < 0) return;
    groupModel_.setRoleValue(row, QStringLiteral("DevState"), state);
    if (state == 0) {
        groupModel_.setRoleValue(row, QStringLiteral("NORMAL_INFO"),
                                 QCoreApplication::translate("ListBarView", "OffLine"));
        groupModel_.setRoleValue(row, QStringLiteral("WifiDB"), 0);
        groupModel_.setRoleValue(row, QStringLiteral("NORMAL_READY"), false);
    }
    refreshPicture(row, record);
}

void ListBarView::resetModel()
{
    groupModel_.clear();
    if (host_.view()) host_.view()->rootContext()->setContextProperty(QStringLiteral("groupModel"), &groupModel_);
    emit updateSignal(false);
}

void ListBarView::setComponentSize(const QRect& rect)
{
    // The container follows too, so that the list grows with the main window.
    host_.resize(rect.width(), rect.height());
    emit setComponentSizeSignal(rect.width(), rect.height());
}

QSize ListBarView::getComponentSize() const
{
    return host_.componentSize();
}

void ListBarView::setBarVisible(bool visible)
{
    setVisible(visible);
    host_.setContainerVisible(visible);
}

void ListBarView::setProperty(int index, const QString& roleName, const QVariant& value)
{
    static const QStringList writable = {"ItemHeight", "GroupHide",     "DevState", "NORMAL_INFO", "ImagePage",
                                         "WifiDB",     "NORMAL_READY", "SERVER_CHANGE", "IPC_TYPE", "CLOUD_STATE"};
    if (writable.contains(roleName)) groupModel_.setRoleValue(index, roleName, value);
}

QVariant ListBarView::getProperty(int index, const QString& roleName, int source)
{
    return (source != 0 ? groupModel_ : localModel_).roleValue(index, roleName);
}

void ListBarView::itemDBClickSlot(int cameraId, int channel)
{
    playCameraId_ = cameraId;
    playChannel_ = channel;
    QNLogPrint("%s(%d) CameraID:%d ChannelID:%d\n", __FUNCTION__, __LINE__, cameraId, channel);
    emit playSignal(cameraId, channel);
}

void ListBarView::itemSettingSlot(int cameraId)
{
    emit settingSignal(cameraId);
}

void ListBarView::serverChangeSlot(int cameraId)
{
    emit serverChangeSignal(cameraId);
}

void ListBarView::ptzClickSlot(int command, int speed)
{
    emit ptzCtrlClickSignal(command, speed);
}

void ListBarView::linkBarShowChangedSlot(bool shown)
{
    shown_ = shown;
}

void ListBarView::linkBarSizeChangedSlot(int width, int height)
{
    host_.resize(width, height);
}

void ListBarView::linkBarSizeChangingSlot(int, int) {}
