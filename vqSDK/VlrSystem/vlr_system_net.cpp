// One hub operation in front of each SDK call: a failure is reported once as
// "NetSdkErr :: <SDK function>" and gives 0.
#include <algorithm>
#include <cstring>

#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

// The service's fixed password for a newly added device. It is part of the
// request, never of any log.
const char kDefaultDevicePassword[] = "583017";
constexpr std::size_t kAddDeviceText = 64;

constexpr uint32_t kReadySignedIn = VLR_STATE_READY | VLR_STATE_SIGNED_IN;

int64_t SecondsOf(const QN_NET_TIME6& t)
{
    // Compared field by field, as a count of seconds; the calendar does not matter.
    return ((((static_cast<int64_t>(t.year) * 12 + t.month) * 31 + t.day) * 24 + t.hour) * 60 + t.minute) * 60 +
           t.second;
}

QN_NET_TIME6 StartOf(const QN_NET_REMOTE_FILE& file)
{
    return QN_NET_TIME6{file.values[29], file.values[30], file.values[31],
                        file.values[32], file.values[33], file.values[34]};
}

} // namespace

int VLR_SYSTEM::NetInit(const char* serverAddress)
{
    QN_NET_Cleanup();
    if (QN_NET_Init(serverAddress) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_Init");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::MgrConnect()
{
    if (QN_NET_Base_connect(1, 0, 0, 0) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "mgr QN_NET_Base_connect");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::MgrDisConnect()
{
    if (QN_NET_Base_DisConnect() != 1) {
        ReportError(VLR_REPORT_NET_SDK, "mgr QN_NET_Base_DisConnect");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::DevBaseDisConnect()
{
    if (QN_NET_Base_DisConnect() != 1) {
        ReportError(VLR_REPORT_NET_SDK, "devQN_NET_Base_DisConnect");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::Login(const QN_NET_LOGIN_INFO* info, uint32_t* mgrAddress, uint32_t* userId)
{
    if ((state_.load() & kReadySignedIn) != VLR_STATE_READY) {
        ReportError(VLR_REPORT_STATE, "login");
        return 0;
    }
    uint32_t user = 0;
    if (QN_NET_Login(info, mgrAddress, &user) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_Login");
        return 0;
    }
    userId_.store(user);
    if (userId != nullptr) *userId = user;
    state_.fetch_or(VLR_STATE_SIGNED_IN);
    return 1;
}

int VLR_SYSTEM::Logout(uint32_t userId)
{
    if ((state_.load() & kReadySignedIn) != kReadySignedIn) {
        ReportError(VLR_REPORT_STATE, "Logout");
        return 0;
    }
    state_.fetch_and(~static_cast<uint32_t>(VLR_STATE_SIGNED_IN));
    if (QN_NET_Logout(userId) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_Logout");
        return 0;
    }
    return 1;
}

bool VLR_SYSTEM::CopyCameraPages(uint32_t listKind, VLR_CAMERA_ENTRY* entries, int capacity, int* count, int start)
{
    QN_NET_DEVICE_LIST page{};
    for (int first = start; *count < capacity - 1;) {
        QN_NET_DEVICE_LIST_REQUEST request{};
        request.one = 1;
        request.list_kind = listKind;
        request.first_index = static_cast<uint16_t>(first);
        request.page_size = QN_NET_DEVICE_PAGE;
        request.two = 2;
        if (QN_NET_GetDeviceList(&request, &page) != 1) {
            ReportError(VLR_REPORT_NET_SDK, "QN_NET_GetDeviceList");
            return false;
        }
        const int got = std::min<int>(page.count, QN_NET_DEVICE_PAGE);
        // Checked per entry: a whole page may not fit the caller's room.
        for (int i = 0; i < got && *count < capacity - 1; ++i) {
            entries[*count].device = page.devices[i];
            entries[*count].listKind = static_cast<int32_t>(listKind);
            ++*count;
        }
        first += got;
        if (got == 0 || first >= static_cast<int>(page.total)) break;
    }
    return true;
}

int VLR_SYSTEM::GetCameraList(const char* which, VLR_CAMERA_ENTRY* entries, int capacity, int* count, int start)
{
    if ((state_.load() & kReadySignedIn) != kReadySignedIn) {
        ReportError(VLR_REPORT_STATE, "GetCameraList");
        return 0;
    }
    if (entries == nullptr || count == nullptr || which == nullptr) {
        ReportError(VLR_REPORT_PARAM, "GetCameraList");
        return 0;
    }
    *count = 0;
    const bool own = std::strcmp(which, "all") == 0 || std::strcmp(which, "mycam") == 0;
    const bool shared = std::strcmp(which, "all") == 0 || std::strcmp(which, "share") == 0;
    if (own && !CopyCameraPages(VLR_CAMERA_OWN, entries, capacity, count, start)) return 0;
    if (shared && !CopyCameraPages(VLR_CAMERA_SHARED, entries, capacity, count, own ? 0 : start)) return 0;
    return 1;
}

int VLR_SYSTEM::OnLineState(int32_t camera)
{
    if (QN_NET_OnLineState(camera) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_OnLineState");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::GetTfinfo(int32_t camera, QN_NET_TF_INFO* info)
{
    QN_NET_TF_INFO reply{};
    if (QN_NET_GetTfinfo(camera, &reply) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_GetTfinfo");
        return 0;
    }
    if (info != nullptr) *info = reply;
    return 1;
}

int VLR_SYSTEM::SearchRemoteFile(QN_NET_REMOTE_FILE* files, int* count, int32_t camera, int capacity,
                                 const QN_NET_TIME6& start, const QN_NET_TIME6& end)
{
    if (files == nullptr || count == nullptr || capacity <= 0) {
        ReportError(VLR_REPORT_PARAM, "GetCameraFileList");
        return 0;
    }
    *count = 0;
    QN_NET_SEARCH_FILE search{};
    search.start = start;
    search.end = end;
    QN_NET_REMOTE_FILE page[QN_NET_REMOTE_FILES_PER_PAGE];
    for (;;) {
        int32_t got = 0;
        if (QN_NET_SearchRemoteFile(camera, &search, page, &got) != 1) {
            ReportError(VLR_REPORT_NET_SDK, "QN_NET_SearchRemoteFile");
            return 0;
        }
        got = std::clamp<int32_t>(got, 0, QN_NET_REMOTE_FILES_PER_PAGE);
        // Never more than the caller's room, whatever the page size.
        const int taken = std::min(got, capacity - *count);
        std::copy(page, page + taken, files + *count);
        *count += taken;
        if (got < QN_NET_REMOTE_FILES_PER_PAGE || *count >= capacity) return 1;
        QN_NET_TIME6 latest = StartOf(page[0]);
        for (int i = 1; i < got; ++i) {
            if (SecondsOf(StartOf(page[i])) > SecondsOf(latest)) latest = StartOf(page[i]);
        }
        // A camera that answers the same page again would fill the list with copies.
        if (SecondsOf(latest) <= SecondsOf(search.start) || SecondsOf(latest) >= SecondsOf(end)) return 1;
        search.start = latest;
    }
}

int VLR_SYSTEM::AddDevice(const char* account, const char* device, uint8_t answer[72])
{
    if (account == nullptr || device == nullptr || answer == nullptr) {
        ReportError(VLR_REPORT_PARAM, "QN_NET_AddDevice");
        return 0;
    }
    uint8_t record[192] = {};
    std::strncpy(reinterpret_cast<char*>(record), account, kAddDeviceText - 1);
    std::strncpy(reinterpret_cast<char*>(record) + kAddDeviceText, device, kAddDeviceText - 1);
    std::memcpy(record + 2 * kAddDeviceText, kDefaultDevicePassword, sizeof kDefaultDevicePassword);
    uint8_t reply[72] = {};
    const int result = QN_NET_AddDevice(record, reply);
    std::memset(record, 0, sizeof record);
    if (result != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_AddDevice");
        return 0;
    }
    std::memcpy(answer, reply, sizeof reply);
    return 1;
}
