// The account calls of the login server: sign-in, sign-out, the device list
// and the other account requests.
#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "Depend/qn_log.h"
#include "platform/net_socket.h"
#include "vqSDK/VlrNetSDK/body_writer.h"
#include "vqSDK/VlrNetSDK/login_conn.h"
#include "vqSDK/VlrNetSDK/md5_text.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"
#include "vqSDK/VlrNetSDK/sdk_state.h"
#include "vqSDK/VlrNetSDK/wire_bytes.h"

using namespace qn_net;

namespace {

constexpr std::size_t kTokenSize = 128;

int64_t LoginTimeout() { return global_set().login_timeout_ms.load(); }

std::array<uint8_t, kTokenSize> Token()
{
    std::array<uint8_t, kTokenSize> token{};
    login_values login = last_login();
    std::memcpy(token.data(), login.token, kTokenSize);
    return token;
}

uint32_t LoginNumber() { return last_login().login_number; }
uint32_t UserId() { return global_set().user_id.load(); }

// The common course of an account call up to its answer: open, send, wait.
// On failure the code is set, the course traced and null returned.
std::unique_ptr<login_conn> Exchange(CallReport& report, uint32_t msgId, const body_writer& body)
{
    std::unique_ptr<login_conn> conn = login_conn::open();
    if (!conn) {
        report.FailPlain(0);
        return nullptr;
    }
    if (!conn->request(msgId, body.data(), body.size())) {
        report.Fail(QN_NET_ERR_SEND, "send data failed");
        return nullptr;
    }
    switch (conn->wait(LoginTimeout())) {
    case login_conn::outcome::answered:
        return conn;
    case login_conn::outcome::timed_out:
        report.Fail(QN_NET_ERR_TIMEOUT, "timeout");
        return nullptr;
    case login_conn::outcome::bad_answer:
        report.Fail(QN_NET_ERR_NO_DATA, "no data");
        return nullptr;
    case login_conn::outcome::error_answer:
        break;
    }
    report.FailPlain(0);
    return nullptr;
}

// The common first checks: initialised, then the arguments.
bool Begin(CallReport& report, bool argumentsGood)
{
    if (!report.RequireInit()) return false;
    if (argumentsGood) return true;
    report.Fail(QN_NET_ERR_ILLEGAL_PARAM, "illegal param");
    return false;
}

// A call whose answer carries nothing but success.
int PlainCall(const char* name, bool argumentsGood, uint32_t msgId, const std::function<void(body_writer&)>& build,
              std::size_t bodySize)
{
    CallReport report(name);
    if (!Begin(report, argumentsGood)) return 0;
    body_writer body(bodySize);
    build(body);
    if (!Exchange(report, msgId, body)) return 0;
    return report.Succeed();
}

// A call that copies `width` bytes of its answer to `out`.
int CopyingCall(const char* name, bool argumentsGood, uint32_t msgId, const body_writer& body, void* out,
                std::size_t width)
{
    CallReport report(name);
    if (!Begin(report, argumentsGood)) return 0;
    auto conn = Exchange(report, msgId, body);
    if (!conn) return 0;
    conn->copy_answer(out, width);
    return report.Succeed();
}

// A call that returns the answer's value, or -1.
int ValueCall(const char* name, bool argumentsGood, uint32_t msgId, const body_writer& body)
{
    CallReport report(name);
    if (!Begin(report, argumentsGood)) return -1;
    auto conn = Exchange(report, msgId, body);
    if (!conn) return -1;
    report.Succeed();
    return static_cast<int>(conn->result());
}

std::string UnsaltedDigest(const uint8_t* field) { return md5_pair(field_text(field, 64), {}); }

// Asks for a salt (10030 for the account, 10047 for a sharer) on `conn`.
bool FetchSalt(login_conn& conn, uint32_t msgId, const char* name, const char* failedTrace)
{
    body_writer body(66);
    body.text_of(name, 64).u16(1);
    if (!conn.request(msgId, body.data(), body.size())) {
        SetLastError(QN_NET_ERR_SEND);
        Trace("%s failed(send data failed)", failedTrace);
        return false;
    }
    login_conn::outcome outcome = conn.wait(LoginTimeout());
    if (outcome == login_conn::outcome::answered) return true;
    if (outcome == login_conn::outcome::timed_out) {
        SetLastError(QN_NET_ERR_TIMEOUT);
        Trace("%s failed(timeout)", failedTrace);
    }
    return false;
}

std::string SaltText(const uint8_t* salt) { return std::string(field_text(salt, 16)); }

} // namespace

extern "C" int QN_NET_Login(const QN_NET_LOGIN_INFO* info, uint32_t* mgr_address, uint32_t* user_id)
{
    QNLogPrint("%s(%d) QN_NET_Login start\n", "QN_NET_Login", __LINE__);
    if (!IsInitialised()) {
        QNLogPrint("QN_NET_Login failed(CSP_ERROR_NO_INIT)\n");
        SetLastError(QN_NET_ERR_NOT_INIT);
        return 0;
    }
    if (info == nullptr || mgr_address == nullptr || user_id == nullptr ||
        field_text(info->terminal, sizeof info->terminal).empty()) {
        QNLogPrint("QN_NET_Login failed(CSP_ERROR_ILLEGAL_PARAM)\n");
        SetLastError(QN_NET_ERR_ILLEGAL_PARAM);
        return 0;
    }
    std::unique_ptr<login_conn> conn = login_conn::open();
    if (!conn) {
        QNLogPrint("%s(%d) QN_NET_Login failed\n", "QN_NET_Login", __LINE__);
        return 0;
    }
    auto fail = [&](int32_t code, const char* text) {
        if (code != 0) SetLastError(code);
        QNLogPrint("%s(%d) %s\n", "QN_NET_Login", __LINE__, text);
        QNLogPrint("%s(%d) QN_NET_Login failed \n", "QN_NET_Login", __LINE__);
        return 0;
    };

    body_writer saltRequest(66);
    saltRequest.bytes(info->account, 64).u16(1);
    if (!conn->request(10030, saltRequest.data(), saltRequest.size())) {
        return fail(QN_NET_ERR_SEND, "QN_NET_MD5 failed(send data failed)");
    }
    switch (conn->wait(LoginTimeout())) {
    case login_conn::outcome::answered:
        break;
    case login_conn::outcome::timed_out:
        return fail(QN_NET_ERR_TIMEOUT, " QN_NET_MD5 failed(timeout) ");
    default:
        // The salt was refused: the sign-in reports it as not answered.
        return fail(QN_NET_ERR_TIMEOUT, "bLoginRet false ");
    }

    QN_NET_LOGIN_INFO signIn = *info;
    std::string digest = salted_password(field_text(info->password, sizeof info->password), SaltText(conn->salt()));
    std::memset(signIn.password, 0, sizeof signIn.password);
    std::memcpy(signIn.password, digest.data(), std::min(digest.size(), sizeof signIn.password));
    if (!conn->request(10001, &signIn, sizeof signIn)) {
        return fail(QN_NET_ERR_SEND, "QN_NET_Login failed(send data failed) ");
    }
    switch (conn->wait(LoginTimeout())) {
    case login_conn::outcome::answered:
        break;
    case login_conn::outcome::timed_out:
        return fail(QN_NET_ERR_TIMEOUT, "QN_NET_Login failed(timeout) ");
    default:
        return fail(0, "bLoginRet false ");
    }

    const uint8_t* body = conn->store();
    login_values values;
    values.user_id = ReadU32(body);
    std::memcpy(&values.mgr_ipv4, body + 4, 4);  // raw, network order
    values.mgr_port = ReadU16(body + 8);
    values.login_number = ReadU32(body + 12);
    std::memcpy(values.token, body + 24, sizeof values.token);
    store_login_values(values);
    conn.reset();

    *user_id = values.user_id;
    *mgr_address = values.mgr_ipv4;
    QNLogPrint("%s(%d) QN_NET_Login success user_id:%u mgr_ip:%s\n", "QN_NET_Login", __LINE__, values.user_id,
               platform::IPv4ToText(values.mgr_ipv4).c_str());
    return 1;
}

extern "C" int QN_NET_MD5(const char* account, uint8_t salt[16])
{
    CallReport report("QN_NET_MD5");
    if (!Begin(report, account != nullptr && salt != nullptr)) return 0;
    auto conn = login_conn::open();
    if (!conn) return report.FailPlain(0);
    if (!FetchSalt(*conn, 10030, account, "QN_NET_MD5")) {
        Trace("QN_NET_MD5 failed");
        return 0;
    }
    std::memcpy(salt, conn->salt(), 16);
    return report.Succeed();
}

extern "C" int QN_NET_GetDeviceList(const QN_NET_DEVICE_LIST_REQUEST* request, QN_NET_DEVICE_LIST* list)
{
    body_writer body(148);
    if (request != nullptr) body.u32(UserId()).bytes(request, sizeof *request).bytes(Token().data(), kTokenSize);
    return CopyingCall("QN_NET_GetDeviceList", request != nullptr && list != nullptr, 10020, body, list,
                       sizeof *list);
}

extern "C" int QN_NET_SignUp(const uint8_t record[256], uint16_t value)
{
    return PlainCall("QN_NET_SignUp", record != nullptr, 10011,
                     [&](body_writer& body) {
                         body.bytes(record, 64).text(UnsaltedDigest(record + 64), 64).bytes(record + 128, 128).u16(value);
                     },
                     258);
}

extern "C" int QN_NET_GetVerifyCode(const uint8_t record[64])
{
    return PlainCall("QN_NET_GetVerifyCode", record != nullptr, 10012,
                     [&](body_writer& body) { body.bytes(record, 64); }, 64);
}

extern "C" int QN_NET_ResetPassword(const uint8_t record[192])
{
    return PlainCall("QN_NET_ResetPassword", record != nullptr, 10013,
                     [&](body_writer& body) {
                         body.bytes(record, 64).text(UnsaltedDigest(record + 64), 64).text(UnsaltedDigest(record + 128), 64);
                     },
                     192);
}

extern "C" int QN_NET_ResetPasswordEx(const uint8_t record[192])
{
    return PlainCall("QN_NET_ResetPasswordEx", record != nullptr, 10014,
                     [&](body_writer& body) { body.bytes(record, 128).text(UnsaltedDigest(record + 128), 64); }, 192);
}

extern "C" int QN_NET_AddTerminal(const uint8_t record[772])
{
    return PlainCall("QN_NET_AddTerminal", record != nullptr, 10016,
                     [&](body_writer& body) { body.u32(UserId()).bytes(record + 4, 768); }, 772);
}

namespace {

int AddDeviceCall(const char* name, uint32_t msgId, const uint8_t* record, uint8_t* answer)
{
    CallReport report(name);
    if (!Begin(report, record != nullptr && answer != nullptr)) return 0;
    body_writer body(324);
    body.u32(LoginNumber()).bytes(record, 192).bytes(Token().data(), kTokenSize);
    auto conn = login_conn::open();
    if (!conn) return report.FailPlain(0);
    if (!conn->request(msgId, body.data(), body.size())) return report.Fail(QN_NET_ERR_SEND, "send data failed");
    switch (conn->wait(LoginTimeout())) {
    case login_conn::outcome::answered:
        conn->copy_answer(answer, 72);
        return report.Succeed();
    case login_conn::outcome::timed_out:
        return report.Fail(QN_NET_ERR_TIMEOUT, "timeout");
    default:
        Trace("%s failed:%lu", name, static_cast<unsigned long>(static_cast<uint32_t>(LastError())));
        return 0;
    }
}

} // namespace

extern "C" int QN_NET_AddDevice(const uint8_t record[192], uint8_t answer[72])
{
    return AddDeviceCall("QN_NET_AddDevice", 10019, record, answer);
}

extern "C" int QN_NET_AddDeviceEx(const uint8_t record[192], uint8_t answer[72])
{
    return AddDeviceCall("QN_NET_AddDeviceEx", 10025, record, answer);
}

extern "C" int QN_NET_DeleteDevice(const uint8_t record[64])
{
    return PlainCall("QN_NET_DeleteDevice", record != nullptr, 10023,
                     [&](body_writer& body) { body.u32(LoginNumber()).bytes(record, 64).bytes(Token().data(), kTokenSize); }, 196);
}

extern "C" int QN_NET_GetAppVersion(uint16_t device_type, uint8_t answer[288])
{
    body_writer body(2);
    body.u16(device_type);
    return CopyingCall("QN_NET_GetAppVersion", answer != nullptr, 10022, body, answer, 288);
}

extern "C" int QN_NET_GetDeviceid(const uint8_t record[64])
{
    body_writer body(64);
    if (record != nullptr) body.bytes(record, 64);
    return ValueCall("QN_NET_GetDeviceid", record != nullptr, 10024, body);
}

extern "C" int QN_NET_BindState(const char text[64], uint8_t answer[64])
{
    CallReport report("QN_NET_BindState");
    if (!Begin(report, text != nullptr && answer != nullptr)) return -1;
    body_writer body(68);
    body.u32(LoginNumber()).text_of(text, 64);
    auto conn = Exchange(report, 10027, body);
    if (!conn) return -1;
    conn->copy_answer(answer, 64);
    report.Succeed();
    return static_cast<int>(conn->result());
}

extern "C" int QN_NET_VerityAccount(const uint8_t record[64])
{
    body_writer body(258);
    if (record != nullptr) body.bytes(record, 64);
    return ValueCall("QN_NET_VerityAccount", record != nullptr, 10031, body);
}

extern "C" int QN_NET_CheckVerifyCode(const char first[64], const char second[64])
{
    body_writer body(160);
    if (first != nullptr && second != nullptr) body.text_of(first, 64).text_of(second, 64);
    return ValueCall("QN_NET_CheckVerifyCode", first != nullptr && second != nullptr, 10038, body);
}

extern "C" int QN_NET_ApplyTestAccount(uint16_t device_type, uint8_t answer[66])
{
    body_writer body(2);
    body.u16(device_type);
    return CopyingCall("QN_NET_ApplyTestAccount", answer != nullptr, 10028, body, answer, 66);
}

extern "C" int QN_NET_DeleteApplyAccount(const uint8_t record[66])
{
    return PlainCall("QN_NET_DeleteApplyAccount", record != nullptr, 10029,
                     [&](body_writer& body) { body.bytes(record, 66); }, 66);
}

extern "C" int QN_NET_ModifyDevName(uint32_t device_id, const char name[32])
{
    return PlainCall("QN_NET_ModifyDevName", name != nullptr, 10032,
                     [&](body_writer& body) { body.u32(UserId()).u32(device_id).text_of(name, 32); }, 40);
}

extern "C" int QN_NET_GetDeviceVersion(uint32_t device_id, uint8_t answer[152])
{
    body_writer body(4);
    body.u32(device_id);
    return CopyingCall("QN_NET_GetDeviceVersion", answer != nullptr, 10039, body, answer, 152);
}

extern "C" int QN_NET_GetSSID(const uint8_t record[128], uint8_t answer[64])
{
    body_writer body(128);
    if (record != nullptr) body.bytes(record, 128);
    return CopyingCall("QN_NET_GetSSID", record != nullptr && answer != nullptr, 10041, body, answer, 64);
}

extern "C" int QN_NET_ShareDevice(uint32_t device_id, const uint8_t record[256], int32_t* result)
{
    CallReport report("QN_NET_ShareDevice");
    if (!Begin(report, record != nullptr && result != nullptr)) return 0;
    auto conn = login_conn::open();
    if (!conn) return report.FailPlain(0);
    if (!FetchSalt(*conn, 10047, reinterpret_cast<const char*>(record + 64), "QN_NET_MD5")) {
        Trace("QN_NET_ShareDevice failed");
        return 0;
    }
    std::string digest = salted_password(field_text(record + 192, 64), SaltText(conn->share_salt()));
    body_writer body(328);
    body.u32(LoginNumber()).u32(device_id).bytes(record, 64).bytes(record + 128, 64).text(digest, 64).bytes(Token().data(), kTokenSize);
    if (!conn->request(10042, body.data(), body.size())) return report.Fail(QN_NET_ERR_SEND, "send data failed");
    switch (conn->wait(LoginTimeout())) {
    case login_conn::outcome::answered:
        *result = static_cast<int32_t>(conn->result());
        return report.Succeed();
    case login_conn::outcome::timed_out:
        return report.Fail(QN_NET_ERR_TIMEOUT, "timeout");
    default:
        return report.FailPlain(0);
    }
}

extern "C" int QN_NET_GetShareDeviceInfo(uint32_t device_id, QN_NET_SHARE_INFO* records, int32_t capacity,
                                         int32_t* count)
{
    CallReport report("QN_NET_GetShareDeviceInfo");
    if (!Begin(report, records != nullptr && count != nullptr && capacity >= 0)) return 0;
    body_writer body(136);
    body.u32(LoginNumber()).u32(device_id).bytes(Token().data(), kTokenSize);
    auto conn = Exchange(report, 10043, body);
    if (!conn) return 0;
    int32_t kept = static_cast<int32_t>(std::min<uint32_t>(conn->result(), static_cast<uint32_t>(capacity)));
    conn->copy_answer(records, static_cast<std::size_t>(kept) * sizeof(QN_NET_SHARE_INFO));
    *count = kept;
    return report.Succeed();
}

extern "C" int QN_NET_DelShareDevice(uint32_t device_id, uint32_t value)
{
    return PlainCall("QN_NET_DelShareDevice", true, 10044,
                     [&](body_writer& body) { body.u32(LoginNumber()).u32(device_id).u32(value).bytes(Token().data(), kTokenSize); }, 140);
}

extern "C" int QN_NET_ApplySendNotification(const uint8_t record[92])
{
    return PlainCall("QN_NET_ApplySendNotification", record != nullptr, 10045,
                     [&](body_writer& body) { body.bytes(record, 92); }, 92);
}

extern "C" int QN_NET_GetMainDeviceList(const uint8_t record[80], uint8_t answer[212])
{
    body_writer body(212);
    if (record != nullptr) body.u32(UserId()).bytes(record, 80).bytes(Token().data(), kTokenSize);
    return CopyingCall("QN_NET_GetMainDeviceList", record != nullptr && answer != nullptr, 10048, body, answer, 212);
}

extern "C" int QN_NET_GetDeviceMsgById(uint32_t value1, uint32_t value2, uint32_t value3, QN_NET_DEVICE_INFO* device)
{
    body_writer body(144);
    body.u32(UserId()).u32(value1).u32(value2).u32(value3).bytes(Token().data(), kTokenSize);
    return CopyingCall("QN_NET_GetDeviceMsgById", device != nullptr, 10049, body, device, sizeof *device);
}
